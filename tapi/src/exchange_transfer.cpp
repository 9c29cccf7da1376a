#include "exchange.h"

#include "sip_parse.h"

#include <algorithm>
#include <string>

// Transfers on the simulated voice lines. Blind: the exchange hands the far end of a connected
// call to another number at once. Consultation: the call waits on hold (ONHOLDPENDTRANSFER) while
// we dial and talk to the new party on a consultation call, then the exchange connects the two
// far ends and both our calls end; dropping the consultation call and taking the held one back
// cancels.

namespace tapi {

namespace {

constexpr std::size_t kMaxAddress = 255;
constexpr std::size_t kTransfersShown = 8;

bool ValidAddress(const std::string& destination)
{
    return !destination.empty() && destination.size() <= kMaxAddress
        && !DialPlan::DialledDigits(destination).empty();
}

} // namespace

void Exchange::RecordTransfer(const Call& call, const std::string& destination)
{
    const std::string farEnd = call.incoming ? call.callerNumber : call.dialled;
    // A SIP transfer may name a SIP address: it is shown as typed.
    const std::string to = call.sipCall ? destination : DialPlan::DialledDigits(destination);
    std::vector<std::string>& transferred = m_lines[call.device].transferred;
    transferred.push_back((farEnd.empty() ? std::string("(no number)") : farEnd) + " to " + to);
    if (transferred.size() > kTransfersShown)
        transferred.erase(transferred.begin());
    if (LineAudio* audio = AudioOf(call.device))
        audio->AppendLog("transferred to " + to);
}

LONG Exchange::BlindTransfer(HCALL handle, const std::string& destination)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& call = *owned.call;
    if (call.sipCall)
        return SipBlindTransfer(owned, destination);
    if (!CarriesSeveralCalls(call.device))
        return LINEERR_OPERATIONUNAVAIL;
    if (!ValidAddress(destination))
        return LINEERR_INVALADDRESS;
    if (!Holdable(call) || call.isConference)
        return LINEERR_INVALCALLSTATE;
    RecordTransfer(call, destination);
    const DWORD request = NewRequest();
    PostReply(PendingRequest{ request, owned.entry->line }, 0);
    SetState(call, LINECALLSTATE_IDLE, 0);
    return static_cast<LONG>(request);
}

/* ---- consultation calls ----------------------------------------------------------------- */

bool Exchange::PendingConsultation(const Call& call)
{
    return call.state == LINECALLSTATE_ONHOLDPENDTRANSFER || call.state == LINECALLSTATE_ONHOLDPENDCONF;
}

Exchange::Call* Exchange::ConsultationOf(const Call& call)
{
    for (Call* other : CallsOnLine(call.device))
        if (other->consultFor == call.id)
            return other;
    return nullptr;
}

Exchange::Call& Exchange::NewConsultationCall(const Call& from, HLINE line)
{
    Call& call = m_calls[m_nextCallId];
    call.id = m_nextCallId++;
    call.device = from.device;
    call.consultFor = from.id;
    call.appName = from.appName;
    AddCallHandle(call, line, LINECALLPRIVILEGE_OWNER);
    return call;
}

DWORD Exchange::ConsultationFeatures(const Call& call)
{
    if (call.consultFor && call.dialled.empty())
        return call.state == LINECALLSTATE_DIALTONE ? LINECALLFEATURE_DIAL : 0;
    if (call.state != LINECALLSTATE_ONHOLDPENDTRANSFER)
        return 0;
    // The held party may be handed over while the new party's phone still rings.
    const Call* consult = ConsultationOf(call);
    const bool reached
        = consult && (consult->state == LINECALLSTATE_CONNECTED || consult->state == LINECALLSTATE_RINGBACK);
    return reached ? LINECALLFEATURE_COMPLETETRANSF : 0;
}

LONG Exchange::SetupTransfer(HCALL handle, HCALL* consultOut)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& call = *owned.call;
    if (!CarriesSeveralCalls(call.device))
        return LINEERR_OPERATIONUNAVAIL;
    if (!Holdable(call) || call.conference || call.isConference)
        return LINEERR_INVALCALLSTATE;
    if (CallsOnLine(call.device).size() >= kMaxCallsPerLine)
        return LINEERR_CALLUNAVAIL;
    const DWORD request = NewRequest();
    Call& consult = NewConsultationCall(call, owned.entry->line);
    PostReplyWithCalls(owned.entry->line, request, { consultOut, consult.handles.front() });
    PutOnHold(call, LINECALLSTATE_ONHOLDPENDTRANSFER);
    m_lines[call.device].activeCall = consult.id;
    SetState(consult, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
    return static_cast<LONG>(request);
}

LONG Exchange::Dial(HCALL handle, const std::string& destination)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& call = *owned.call;
    if (!ValidAddress(destination))
        return LINEERR_INVALADDRESS;
    // Only a consultation call waits in dial tone for its number; other calls dial at once.
    if (call.state != LINECALLSTATE_DIALTONE || !call.dialled.empty())
        return LINEERR_INVALCALLSTATE;
    const std::string sipTarget
        = IsSipLine(call.device) ? SipTargetUri(destination, m_lines[call.device].config.sip) : "";
    if (IsSipLine(call.device) && sipTarget.empty())
        return LINEERR_INVALADDRESS;
    call.dialled = destination;
    call.rule = m_dialPlan.Match(destination);
    call.hangUpAfterMs = call.rule.hangUpAfterMs;
    const DWORD request = NewRequest();
    PostReply(PendingRequest{ request, owned.entry->line }, 0);
    if (sipTarget.empty())
        StartDialling(call);
    else
        PlaceSipCall(call, sipTarget);
    return static_cast<LONG>(request);
}

LONG Exchange::CompleteTransfer(HCALL handle, HCALL consultHandle, HCALL* confOut, DWORD mode)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    const OwnedCall consult = FindOwnedCall(consultHandle);
    if (consult.error)
        return consult.error == LINEERR_INVALCALLHANDLE ? LINEERR_INVALCONSULTCALLHANDLE : consult.error;
    if (mode != LINETRANSFERMODE_TRANSFER && mode != LINETRANSFERMODE_CONFERENCE)
        return LINEERR_INVALTRANSFERMODE;
    // A SIP call's far end is handed over with REFER; a conference of SIP calls is mixed here.
    if (mode == LINETRANSFERMODE_TRANSFER && (owned.call->sipCall || consult.call->sipCall))
        return SipCompleteTransfer(owned, *consult.call);
    Call& call = *owned.call;
    Call& other = *consult.call;
    if (mode == LINETRANSFERMODE_CONFERENCE && other.device != call.device)
        return ConferenceAcrossLines(owned, consult, confOut);
    if (other.id == call.id || other.device != call.device)
        return LINEERR_INVALCONSULTCALLHANDLE;
    const bool reached = other.state == LINECALLSTATE_CONNECTED
        || (mode == LINETRANSFERMODE_TRANSFER && other.state == LINECALLSTATE_RINGBACK);
    if (call.state != LINECALLSTATE_ONHOLDPENDTRANSFER || !reached)
        return LINEERR_INVALCALLSTATE;
    const DWORD request = NewRequest();
    if (mode == LINETRANSFERMODE_CONFERENCE) {
        Call& conference = NewConferenceCall(call, owned.entry->line);
        PostReplyWithCalls(owned.entry->line, request, { confOut, conference.handles.front() });
        JoinConference(conference, call);
        JoinConference(conference, other);
        m_lines[call.device].activeCall = conference.id;
        SetState(conference, LINECALLSTATE_CONNECTED, 0);
        return static_cast<LONG>(request);
    }
    PostReply(PendingRequest{ request, owned.entry->line }, 0);
    RecordTransfer(call, other.dialled);
    SetState(call, LINECALLSTATE_IDLE, 0);
    SetState(other, LINECALLSTATE_IDLE, 0);
    return static_cast<LONG>(request);
}

/* ---- SIP transfers ---------------------------------------------------------------------- */

LONG Exchange::SipBlindTransfer(const OwnedCall& owned, const std::string& destination)
{
    Call& call = *owned.call;
    if (!m_sip || !IsSipLine(call.device))
        return LINEERR_OPERATIONUNAVAIL;
    // A number becomes a SIP address on the line's domain, as when it is dialled.
    const std::string target = SipTargetUri(destination, m_lines[call.device].config.sip);
    if (destination.size() > kMaxAddress || target.empty())
        return LINEERR_INVALADDRESS;
    if (!Holdable(call) || call.pendingTransfer)
        return LINEERR_INVALCALLSTATE;
    const LONG request = StartSipTransfer(owned, destination, 0);
    m_sip->Transfer(call.sipCall, target);
    return request;
}

// Attended: the held SIP call's far end is handed to the far end of a connected SIP call, on this
// line or another SIP line, which it replaces (REFER with Replaces in Refer-To).
LONG Exchange::SipCompleteTransfer(const OwnedCall& owned, Call& consult)
{
    Call& call = *owned.call;
    if (!m_sip || !call.sipCall || !consult.sipCall || !IsSipLine(call.device) || !IsSipLine(consult.device))
        return LINEERR_OPERATIONUNAVAIL;
    if (consult.id == call.id)
        return LINEERR_INVALCONSULTCALLHANDLE;
    const bool held = call.state == LINECALLSTATE_ONHOLD || call.state == LINECALLSTATE_ONHOLDPENDTRANSFER;
    if (!held || consult.state != LINECALLSTATE_CONNECTED || call.pendingTransfer)
        return LINEERR_INVALCALLSTATE;
    const std::string party = consult.incoming ? consult.callerNumber : consult.dialled;
    const LONG request = StartSipTransfer(owned, party.empty() ? "(no number)" : party, consult.id);
    m_sip->TransferAttended(call.sipCall, consult.sipCall);
    return request;
}

LONG Exchange::StartSipTransfer(const OwnedCall& owned, const std::string& to, DWORD consult)
{
    Call& call = *owned.call;
    const DWORD request = NewRequest();
    call.pendingTransfer = PendingRequest{ request, owned.entry->line };
    call.transferTo = to;
    call.transferConsult = consult;
    if (LineAudio* audio = AudioOf(call.device))
        audio->AppendLog("transferring to " + to);
    return static_cast<LONG>(request);
}

void Exchange::OnSipTransferred(Call& call, const SipEvent& event)
{
    if (!call.pendingTransfer)
        return;
    const PendingRequest pending = *call.pendingTransfer;
    call.pendingTransfer.reset();
    if (event.code >= 200 && event.code < 300) {
        // The far end reached the new party: our part of the call is over (BYE).
        RecordTransfer(call, call.transferTo);
        PostReply(pending, 0);
        SetState(call, LINECALLSTATE_IDLE, 0);
        // After an attended transfer the two far ends talk: our consultation call ends too.
        if (Call* consult = FindCall(call.transferConsult);
            consult && consult->state != LINECALLSTATE_IDLE && consult->state != LINECALLSTATE_DISCONNECTED)
            SetState(*consult, LINECALLSTATE_IDLE, 0);
        return;
    }
    if (LineAudio* audio = AudioOf(call.device))
        audio->AppendLog("transfer failed: " + event.text);
    PostReply(pending, LINEERR_OPERATIONFAILED); // the call goes on as it was
}

void Exchange::FailPendingTransfer(Call& call)
{
    if (LineAudio* audio = AudioOf(call.device))
        audio->AppendLog("transfer failed: the call ended first");
    PostReply(*call.pendingTransfer, LINEERR_OPERATIONFAILED);
    call.pendingTransfer.reset();
}

/* ---- a transfer by the far end --------------------------------------------------------- */

namespace {

// How a call handed to a number the dial plan does not let answer ends (0: it answers).
DWORD TransferFailureMode(DWORD outcome)
{
    switch (outcome) {
    case TAPISIM_OUTCOME_BUSY:
        return LINEDISCONNECTMODE_BUSY;
    case TAPISIM_OUTCOME_NOANSWER:
        return LINEDISCONNECTMODE_NOANSWER;
    case TAPISIM_OUTCOME_BADADDRESS:
        return LINEDISCONNECTMODE_BADADDRESS;
    case TAPISIM_OUTCOME_REJECT:
        return LINEDISCONNECTMODE_REJECT;
    default:
        return 0;
    }
}

} // namespace

// The far end of a connected call hands us to another number. The exchange calls that number
// through the dial plan while we hear silence; when it answers it is our new far end (LINE_CALLINFO
// with the connected and redirecting ids), otherwise the call is cut with the dial plan's outcome.
LONG Exchange::FarEndTransfer(DWORD line, DWORD callId, const std::string& destination)
{
    std::lock_guard lock(m_mutex);
    if (line >= m_lines.size())
        return TAPISIM_E_BADLINE;
    Call* call = FarEndCall(line, callId);
    if (!call || call->sipCall || call->isConference || call->state != LINECALLSTATE_CONNECTED
        || !call->transferTarget.empty())
        return TAPISIM_E_NOCALL;
    if (!ValidAddress(destination))
        return TAPISIM_E_BADARG;
    call->transferTarget = DialPlan::DialledDigits(destination);
    const DialRule rule = m_dialPlan.Match(destination);
    if (LineAudio* audio = AudioOf(line))
        audio->AppendLog("far end transferred to " + call->transferTarget);
    RefreshLineAudio(line);
    const DWORD failure = TransferFailureMode(rule.outcome);
    Schedule(
        *call, rule.delayMs, [this, failure](Call& c) { FinishFarEndTransfer(c, failure); }, false);
    return TAPISIM_OK;
}

void Exchange::FinishFarEndTransfer(Call& call, DWORD failure)
{
    const std::string target = std::exchange(call.transferTarget, {});
    if (call.state == LINECALLSTATE_IDLE || call.state == LINECALLSTATE_DISCONNECTED)
        return;
    if (failure != 0) {
        DisconnectCall(call, failure);
        return;
    }
    call.redirectingNumber = FarEndNumber(call);
    call.connectedNumber = target;
    RefreshLineAudio(call.device);
    for (HCALL handle : call.handles)
        if (const CallHandle* entry = FindCallHandle(handle))
            PostLine(entry->line, handle, LINE_CALLINFO,
                LINECALLINFOSTATE_CONNECTEDID | LINECALLINFOSTATE_REDIRECTINGID, 0, 0);
}

// The number of the party at the far end of `call` now.
std::string Exchange::FarEndNumber(const Call& call)
{
    if (!call.connectedNumber.empty())
        return call.connectedNumber;
    return call.incoming ? call.callerNumber : DialPlan::DialledDigits(call.dialled);
}

} // namespace tapi
