#include "exchange.h"

#include "var_struct.h"

#include <algorithm>
#include <sstream>

// Several calls on one line of the simulated exchange: a second caller on a busy line waits
// (offered, with the call-waiting tone), and calls are held, taken back and swapped. One call at a
// time has the line's audio path (the active call); the far end of a held call hears silence.

namespace tapi {

namespace {

constexpr DWORD kCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED
    | LINECALLSTATE_DIALTONE | LINECALLSTATE_DIALING | LINECALLSTATE_RINGBACK | LINECALLSTATE_BUSY
    | LINECALLSTATE_CONNECTED | LINECALLSTATE_PROCEEDING | LINECALLSTATE_DISCONNECTED;
constexpr DWORD kCallFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP | LINECALLFEATURE_GENERATEDIGITS
    | LINECALLFEATURE_GENERATETONE | LINECALLFEATURE_SETTERMINAL;
constexpr DWORD kHoldFeatures = LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_SWAPHOLD
    | LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_DIAL
    | LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_ADDTOCONF
    | LINECALLFEATURE_REMOVEFROMCONF;
constexpr DWORD kSipHoldFeatures = LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD;
constexpr DWORD kHoldStates = LINECALLSTATE_ONHOLD | LINECALLSTATE_ONHOLDPENDTRANSFER
    | LINECALLSTATE_ONHOLDPENDCONF | LINECALLSTATE_CONFERENCED;

} // namespace

bool Exchange::IsOffered(const Call& call)
{
    return call.state == LINECALLSTATE_OFFERING || call.state == LINECALLSTATE_ACCEPTED;
}

bool Exchange::HoldsOneCall(DWORD device) const
{
    return IsSipLine(device);
}

bool Exchange::CarriesSeveralCalls(DWORD device) const
{
    // The simulated voice lines; a SIP line takes one call at a time (which it can hold, see
    // HoldsOneCall), and a data call has no use for a second one.
    const LineKind kind = device < m_lines.size() ? m_lines[device].config.kind : LineKind::Modem;
    return kind == LineKind::Analog || kind == LineKind::Ip;
}

std::vector<Exchange::Call*> Exchange::CallsOnLine(DWORD device)
{
    std::vector<Call*> calls;
    for (auto& [id, call] : m_calls)
        if (call.device == device && call.state != LINECALLSTATE_IDLE)
            calls.push_back(&call);
    return calls; // oldest first: call ids grow
}

bool Exchange::LineBusyForCaller(DWORD device)
{
    if (!CarriesSeveralCalls(device))
        return m_lines[device].activeCall != 0;
    // One caller at a time is offered: a line that rings, or has a caller waiting, is busy.
    const std::vector<Call*> calls = CallsOnLine(device);
    return calls.size() >= kMaxCallsPerLine
        || std::any_of(calls.begin(), calls.end(), [](const Call* c) { return IsOffered(*c); });
}

Exchange::Call* Exchange::FarEndCall(DWORD device, DWORD callId)
{
    const std::vector<Call*> calls = CallsOnLine(device);
    if (callId) {
        const auto it
            = std::find_if(calls.begin(), calls.end(), [&](const Call* c) { return c->id == callId; });
        return it == calls.end() ? nullptr : *it;
    }
    if (Call* active = ActiveCall(device))
        return active;
    return calls.empty() ? nullptr : calls.back();
}

bool Exchange::Holdable(const Call& call) const
{
    // Digits or a tone being sent are cut off (LINE_GENERATE CANCEL); a pending drop is not.
    return call.state == LINECALLSTATE_CONNECTED && !call.pendingDrop
        && (CarriesSeveralCalls(call.device) || (call.sipCall && HoldsOneCall(call.device)));
}

bool Exchange::CanTakeLine(const Call& call)
{
    const Call* active = ActiveCall(call.device);
    if (!active || active->id == call.id)
        return true;
    return Holdable(*active) || IsOffered(*active) || active->state == LINECALLSTATE_DISCONNECTED;
}

void Exchange::TakeLine(Call& call)
{
    Line& line = m_lines[call.device];
    Call* active = ActiveCall(call.device);
    line.activeCall = call.id;
    if (active && active->id != call.id && active->state == LINECALLSTATE_CONNECTED)
        PutOnHold(*active);
    RefreshLineAudio(call.device);
}

void Exchange::ReleaseLine(DWORD device)
{
    // A caller still waiting now rings as on a free line (the handset answers it).
    const std::vector<Call*> calls = CallsOnLine(device);
    const auto waiting
        = std::find_if(calls.begin(), calls.end(), [](const Call* c) { return IsOffered(*c); });
    m_lines[device].activeCall = waiting == calls.end() ? 0 : (*waiting)->id;
}

void Exchange::PutOnHold(Call& call, DWORD state)
{
    if (m_lines[call.device].activeCall == call.id)
        ReleaseLine(call.device);
    if (LineAudio* audio = AudioOf(call.device))
        audio->AppendLog("hold");
    if (call.sipCall && m_sip)
        m_sip->Hold(call.sipCall, true);
    SetState(call, state, 0);
}

void Exchange::RefreshLineAudio(DWORD device)
{
    LineAudio* audio = AudioOf(device);
    if (!audio)
        return;
    const Call* active = ActiveCall(device);
    bool held = false, waiting = false;
    for (const Call* call : CallsOnLine(device)) {
        held = held || call->state == LINECALLSTATE_ONHOLD;
        waiting = waiting || (IsOffered(*call) && (!active || active->id != call->id));
    }
    if (active)
        UpdateAudioPhase(*active);
    else
        audio->SetPhase(held ? LineAudio::Phase::Held : LineAudio::Phase::Quiet);
    const bool talking = active && active->state == LINECALLSTATE_CONNECTED;
    audio->SetCallWaiting(talking && waiting);
    // A far end that holds the call, or that handed it to a party still being called, is silent.
    audio->SetFarEndHolding(talking && (active->farEndHolding || !active->transferTarget.empty()));
    audio->SetParties(FarEndsHeard(device));
}

DWORD Exchange::HoldFeatures(const Call& call)
{
    if (call.sipCall && HoldsOneCall(call.device)) {
        if (call.state == LINECALLSTATE_ONHOLD)
            return LINECALLFEATURE_UNHOLD;
        return Holdable(call) ? LINECALLFEATURE_HOLD : 0;
    }
    if (!CarriesSeveralCalls(call.device))
        return 0;
    if (call.state == LINECALLSTATE_ONHOLD || call.state == LINECALLSTATE_ONHOLDPENDTRANSFER)
        return CanTakeLine(call) ? LINECALLFEATURE_UNHOLD : 0;
    if (!Holdable(call))
        return 0;
    if (call.isConference)
        return LINECALLFEATURE_HOLD;
    const std::vector<Call*> calls = CallsOnLine(call.device);
    const bool someHeld = std::any_of(
        calls.begin(), calls.end(), [](const Call* c) { return c->state == LINECALLSTATE_ONHOLD; });
    const bool room = calls.size() < kMaxCallsPerLine;
    return LINECALLFEATURE_HOLD | LINECALLFEATURE_BLINDTRANSFER | (someHeld ? LINECALLFEATURE_SWAPHOLD : 0)
        | (room ? LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_SETUPCONF : 0);
}

/* ---- hold, unhold, swap ----------------------------------------------------------------- */

// The request completes at once: LINE_REPLY, then the calls' LINE_CALLSTATE messages.
LONG Exchange::CompleteHoldRequest(const OwnedCall& owned, Call* other, bool hold)
{
    const DWORD request = NewRequest();
    PostReply(PendingRequest{ request, owned.entry->line }, 0);
    if (hold)
        PutOnHold(*owned.call);
    if (other) {
        if (LineAudio* audio = AudioOf(other->device))
            audio->AppendLog("unhold");
        if (other->sipCall && m_sip)
            m_sip->Hold(other->sipCall, false);
        TakeLine(*other);
        SetState(*other, LINECALLSTATE_CONNECTED, 0);
    }
    return static_cast<LONG>(request);
}

LONG Exchange::Hold(HCALL handle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    if (!CarriesSeveralCalls(owned.call->device) && !HoldsOneCall(owned.call->device))
        return LINEERR_OPERATIONUNAVAIL;
    if (!Holdable(*owned.call))
        return LINEERR_INVALCALLSTATE;
    return CompleteHoldRequest(owned, nullptr, true);
}

LONG Exchange::Unhold(HCALL handle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    const DWORD state = owned.call->state;
    if ((state != LINECALLSTATE_ONHOLD && state != LINECALLSTATE_ONHOLDPENDTRANSFER)
        || !CanTakeLine(*owned.call))
        return LINEERR_INVALCALLSTATE;
    return CompleteHoldRequest(owned, owned.call, false);
}

LONG Exchange::SwapHold(HCALL activeHandle, HCALL heldHandle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall active = FindOwnedCall(activeHandle);
    if (active.error)
        return active.error;
    const OwnedCall held = FindOwnedCall(heldHandle);
    if (held.error)
        return held.error;
    if (!CarriesSeveralCalls(active.call->device) || active.call->sipCall)
        return LINEERR_OPERATIONUNAVAIL;
    if (active.call == held.call || held.call->device != active.call->device || !Holdable(*active.call)
        || held.call->state != LINECALLSTATE_ONHOLD)
        return LINEERR_INVALCALLSTATE;
    return CompleteHoldRequest(active, held.call, true);
}

/* ---- the far end ------------------------------------------------------------------------ */

LONG Exchange::FarEndHold(DWORD line, DWORD callId, bool hold)
{
    std::lock_guard lock(m_mutex);
    if (line >= m_lines.size())
        return TAPISIM_E_BADLINE;
    Call* call = FarEndCall(line, callId);
    if (!call || call->sipCall
        || (call->state != LINECALLSTATE_CONNECTED && call->state != LINECALLSTATE_ONHOLD))
        return TAPISIM_E_NOCALL;
    call->farEndHolding = hold;
    if (LineAudio* audio = AudioOf(line))
        audio->AppendLog(hold ? "far end held" : "far end resumed");
    RefreshLineAudio(line);
    return TAPISIM_OK;
}

/* ---- capabilities ----------------------------------------------------------------------- */

LONG Exchange::GetAddressCaps(
    HLINEAPP app, DWORD device, DWORD addressId, DWORD version, DWORD extVersion, LINEADDRESSCAPS& caps)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.count(app))
        return LINEERR_INVALAPPHANDLE;
    if (device >= m_lines.size())
        return LINEERR_BADDEVICEID;
    if (addressId != 0)
        return LINEERR_INVALADDRESSID;
    if (!VersionSupported(version))
        return LINEERR_INCOMPATIBLEAPIVERSION;
    if (extVersion != 0)
        return LINEERR_INCOMPATIBLEEXTVERSION;
    if (caps.dwTotalSize < sizeof(LINEADDRESSCAPS))
        return LINEERR_STRUCTURETOOSMALL;
    VarStruct var(&caps, sizeof(LINEADDRESSCAPS));
    const bool several = CarriesSeveralCalls(device);
    const bool holds = several || HoldsOneCall(device);
    caps.dwLineDeviceID = device;
    caps.dwAddressSharing = LINEADDRESSSHARING_PRIVATE;
    caps.dwCallerIDFlags = LINECALLPARTYID_BLOCKED | LINECALLPARTYID_OUTOFAREA | LINECALLPARTYID_NAME
        | LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
    caps.dwCalledIDFlags = LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
    caps.dwConnectedIDFlags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
    caps.dwRedirectionIDFlags = LINECALLPARTYID_UNKNOWN;
    caps.dwRedirectingIDFlags = LINECALLPARTYID_UNKNOWN;
    caps.dwCallStates = kCallStates | (several ? kHoldStates : (holds ? LINECALLSTATE_ONHOLD : 0));
    caps.dwDialToneModes = LINEDIALTONEMODE_NORMAL;
    caps.dwBusyModes = LINEBUSYMODE_STATION;
    caps.dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_REJECT | LINEDISCONNECTMODE_BUSY
        | LINEDISCONNECTMODE_NOANSWER | LINEDISCONNECTMODE_BADADDRESS;
    caps.dwMaxNumActiveCalls = 1;
    caps.dwMaxNumOnHoldCalls = several ? kMaxCallsPerLine - 1 : (holds ? 1 : 0);
    caps.dwMaxNumOnHoldPendingCalls = several ? 1 : 0;
    caps.dwMaxNumConference = several ? kConferenceParties : 0;
    caps.dwMaxNumTransConf = several ? kConferenceParties : 0;
    caps.dwTransferModes = several ? LINETRANSFERMODE_TRANSFER | LINETRANSFERMODE_CONFERENCE : 0;
    caps.dwCallFeatures = kCallFeatures | (several ? kHoldFeatures : (holds ? kSipHoldFeatures : 0));
    caps.dwAvailableMediaModes = m_lines[device].config.MediaModes();
    return 0;
}

} // namespace tapi
