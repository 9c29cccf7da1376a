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
    const std::string to = DialPlan::DialledDigits(destination);
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
    if (!CarriesSeveralCalls(call.device) || call.sipCall)
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
    if (!CarriesSeveralCalls(call.device) || call.sipCall)
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
    Call& call = *owned.call;
    Call& other = *consult.call;
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

} // namespace tapi
