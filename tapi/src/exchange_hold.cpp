#include "exchange.h"

#include "var_struct.h"

#include <algorithm>
#include <sstream>

// Several calls on one voice line, simulated or SIP: a second caller on a busy line waits
// (offered, with the call-waiting tone), and calls are held, taken back and swapped. One call at a
// time has the line's audio path (the active call); the far end of a held call hears silence. A
// SIP call's hold also goes to its far end (exchange_sip_hold.cpp).

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
constexpr DWORD kHoldStates = LINECALLSTATE_ONHOLD | LINECALLSTATE_ONHOLDPENDTRANSFER
    | LINECALLSTATE_ONHOLDPENDCONF | LINECALLSTATE_CONFERENCED;

} // namespace

bool Exchange::IsOffered(const Call& call)
{
    return call.state == LINECALLSTATE_OFFERING || call.state == LINECALLSTATE_ACCEPTED;
}

bool Exchange::CarriesSeveralCalls(DWORD device) const
{
    // The voice lines, simulated or SIP; a data call has no use for a second one.
    const LineKind kind = device < m_lines.size() ? m_lines[device].config.kind : LineKind::Modem;
    return kind != LineKind::Modem;
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
    // Digits or a tone being sent are cut off (LINE_GENERATE CANCEL); a pending drop is not, nor
    // a re-INVITE of ours awaiting its answer.
    return call.state == LINECALLSTATE_CONNECTED && !call.pendingDrop && !call.sipHold
        && CarriesSeveralCalls(call.device);
}

bool Exchange::Unholdable(const Call& call)
{
    return (call.state == LINECALLSTATE_ONHOLD || call.state == LINECALLSTATE_ONHOLDPENDTRANSFER)
        && !call.sipHold && CanTakeLine(call);
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
    SendSipHold(call, true);
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
    // A SIP call talks through its own audio; a conference's parties each through theirs.
    audio->SetLink(active && !active->isConference ? active->sipMedia : nullptr);
}

DWORD Exchange::HoldFeatures(const Call& call)
{
    if (!CarriesSeveralCalls(call.device))
        return 0;
    if (call.state == LINECALLSTATE_ONHOLD || call.state == LINECALLSTATE_ONHOLDPENDTRANSFER)
        return Unholdable(call) ? LINECALLFEATURE_UNHOLD : 0;
    if (!Holdable(call))
        return 0;
    if (call.isConference)
        return LINECALLFEATURE_HOLD;
    const std::vector<Call*> calls = CallsOnLine(call.device);
    const bool someHeld = std::any_of(
        calls.begin(), calls.end(), [](const Call* c) { return c->state == LINECALLSTATE_ONHOLD; });
    const bool room = calls.size() < kMaxCallsPerLine;
    const DWORD features = LINECALLFEATURE_HOLD | LINECALLFEATURE_BLINDTRANSFER
        | (someHeld ? LINECALLFEATURE_SWAPHOLD : 0)
        | (room ? LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_SETUPCONF : 0);
    // A SIP call's far end is handed over with REFER, one transfer at a time.
    return call.pendingTransfer ? features & ~DWORD(LINECALLFEATURE_BLINDTRANSFER) : features;
}

/* ---- hold, unhold, swap ----------------------------------------------------------------- */

// The request completes at once: LINE_REPLY, then the calls' LINE_CALLSTATE messages.
LONG Exchange::CompleteHoldRequest(const OwnedCall& owned, Call* other, bool hold)
{
    const DWORD request = NewRequest();
    ApplyHold(PendingRequest{ request, owned.entry->line }, hold ? owned.call : nullptr, other);
    return static_cast<LONG>(request);
}

void Exchange::ApplyHold(const PendingRequest& reply, Call* held, Call* taken)
{
    PostReply(reply, 0);
    if (held)
        PutOnHold(*held);
    if (taken) {
        if (LineAudio* audio = AudioOf(taken->device))
            audio->AppendLog("unhold");
        SendSipHold(*taken, false);
        TakeLine(*taken);
        SetState(*taken, LINECALLSTATE_CONNECTED, 0);
    }
}

LONG Exchange::Hold(HCALL handle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    if (!CarriesSeveralCalls(owned.call->device))
        return LINEERR_OPERATIONUNAVAIL;
    if (!Holdable(*owned.call))
        return LINEERR_INVALCALLSTATE;
    if (owned.call->sipCall)
        return RequestSipHold(owned, true);
    return CompleteHoldRequest(owned, nullptr, true);
}

LONG Exchange::Unhold(HCALL handle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    if (!Unholdable(*owned.call))
        return LINEERR_INVALCALLSTATE;
    if (owned.call->sipCall)
        return RequestSipHold(owned, false);
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
    if (!CarriesSeveralCalls(active.call->device))
        return LINEERR_OPERATIONUNAVAIL;
    if (active.call == held.call || held.call->device != active.call->device || !Holdable(*active.call)
        || held.call->state != LINECALLSTATE_ONHOLD || held.call->sipHold)
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
    const bool sip = IsSipLine(device);
    caps.dwLineDeviceID = device;
    caps.dwAddressSharing = LINEADDRESSSHARING_PRIVATE;
    caps.dwCallerIDFlags = LINECALLPARTYID_BLOCKED | LINECALLPARTYID_OUTOFAREA | LINECALLPARTYID_NAME
        | LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
    caps.dwCalledIDFlags = LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
    caps.dwConnectedIDFlags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
    caps.dwRedirectionIDFlags = LINECALLPARTYID_UNKNOWN;
    // A SIP call the far end of another transferred us to names who did (Referred-By).
    caps.dwRedirectingIDFlags
        = LINECALLPARTYID_UNKNOWN | (sip ? LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME : 0);
    caps.dwCallStates = kCallStates | (several ? kHoldStates : 0);
    caps.dwDialToneModes = LINEDIALTONEMODE_NORMAL;
    caps.dwBusyModes = LINEBUSYMODE_STATION;
    caps.dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_REJECT | LINEDISCONNECTMODE_BUSY
        | LINEDISCONNECTMODE_NOANSWER | LINEDISCONNECTMODE_BADADDRESS | LINEDISCONNECTMODE_PICKUP;
    caps.dwMaxNumActiveCalls = 1;
    caps.dwMaxNumOnHoldCalls = several ? kMaxCallsPerLine - 1 : 0;
    caps.dwMaxNumOnHoldPendingCalls = several ? 1 : 0;
    caps.dwMaxNumConference = several ? kConferenceParties : 0;
    caps.dwMaxNumTransConf = several ? kConferenceParties : 0;
    caps.dwTransferModes = several ? LINETRANSFERMODE_TRANSFER | LINETRANSFERMODE_CONFERENCE : 0;
    // A conference takes a held call or a new consultation call, and ends with its parties.
    caps.dwAddrCapFlags = several
        ? LINEADDRCAPFLAGS_CONFERENCEHELD | LINEADDRCAPFLAGS_CONFERENCEMAKE | LINEADDRCAPFLAGS_CONFDROP
        : 0;
    caps.dwCallFeatures = kCallFeatures | (several ? kHoldFeatures : 0);
    // Directed pickup: a watched colleague's ringing call (SIP), a call offered on another line.
    caps.dwAddressFeatures = LINEADDRFEATURE_MAKECALL | LINEADDRFEATURE_PICKUP | LINEADDRFEATURE_PICKUPDIRECT;
    caps.dwAvailableMediaModes = m_lines[device].config.MediaModes();
    return 0;
}

} // namespace tapi
