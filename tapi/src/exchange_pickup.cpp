#include "exchange.h"

#include "sip_parse.h"

#include <algorithm>

// Directed pickup (linePickupA): a call ringing elsewhere answered at this line. On a SIP line the
// ringing call is a watched colleague's that the server's presence described; our INVITE asks its
// caller to replace that ringing dialog with ours, and the request completes once the caller
// answered it. On a simulated line it is a call offered on another line of the exchange, which
// moves here at once.

namespace tapi {

LONG Exchange::Pickup(
    HLINE line, DWORD addressId, HCALL* callOut, const std::string& destination, const std::string& group)
{
    std::lock_guard lock(m_mutex);
    const OpenLine* open = FindLine(line);
    if (!open)
        return LINEERR_INVALLINEHANDLE;
    if (addressId != 0)
        return LINEERR_INVALADDRESSID;
    if (destination.empty())
        return group.empty() ? LINEERR_INVALADDRESS : LINEERR_OPERATIONUNAVAIL; // no group pickup
    const DWORD device = open->device;
    if (m_lines[device].activeCall || CallsOnLine(device).size() >= kMaxCallsPerLine
        || std::any_of(m_sipPickups.begin(), m_sipPickups.end(),
            [device](const SipPickup& pickup) { return pickup.device == device; }))
        return LINEERR_INUSE;
    return IsSipLine(device) ? StartSipPickup(line, device, callOut, destination)
                             : PickUpSimulated(line, device, callOut, destination);
}

LONG Exchange::StartSipPickup(HLINE line, DWORD device, HCALL* callOut, const std::string& destination)
{
    if (!m_sip || !m_lines[device].inService)
        return LINEERR_OPERATIONUNAVAIL;
    const auto& watched = m_lines[device].watched;
    const auto entry = std::find_if(
        watched.begin(), watched.end(), [&](const Line::Watched& w) { return w.address == destination; });
    // Without presence for the address nothing is known of its calls; with it, a ringing call the
    // server did not describe (no call id or tags) cannot be named to its caller either.
    if (entry == watched.end() || entry->activity == LineActivity::Unknown
        || (entry->activity == LineActivity::Ringing && !entry->ringing))
        return LINEERR_OPERATIONUNAVAIL;
    if (!entry->ringing)
        return LINEERR_OPERATIONFAILED; // nothing rings there
    SipPickup pickup;
    pickup.reply = { NewRequest(), line };
    pickup.callOut = callOut;
    pickup.device = device;
    pickup.sipCall = m_nextSipCall++;
    pickup.callerNumber = PartyOf("<" + entry->ringing->callerUri + ">").number;
    pickup.appName = m_lineApps.at(m_openLines.at(line).app).name;
    if (LineAudio* audio = AudioOf(device))
        audio->AppendLog("picking up the call ringing at " + destination);
    m_sip->Pickup(device, pickup.sipCall, *entry->ringing);
    m_sipPickups.push_back(pickup);
    return static_cast<LONG>(pickup.reply.request);
}

bool Exchange::OnSipPickupEvent(const SipEvent& event)
{
    const auto it = std::find_if(m_sipPickups.begin(), m_sipPickups.end(),
        [&event](const SipPickup& pickup) { return pickup.sipCall == event.call; });
    if (it == m_sipPickups.end())
        return false;
    // A caller that rings us instead (it does not know Replaces) did not hand its call over.
    const bool ringsUs = event.kind == SipEvent::Kind::Progress && event.ringing;
    if (event.kind == SipEvent::Kind::Progress && !ringsUs)
        return true;
    const SipPickup pickup = *it;
    m_sipPickups.erase(it);
    const bool lineStillOpen = FindLine(pickup.reply.line) != nullptr;
    if (event.kind == SipEvent::Kind::Answered && lineStillOpen && !m_lines[pickup.device].activeCall) {
        ConnectPickedUpCall(pickup, event);
        return true;
    }
    if (event.kind != SipEvent::Kind::Failed)
        m_sip->Hangup(event.call);
    if (LineAudio* audio = AudioOf(pickup.device))
        audio->AppendLog("pickup failed" + (event.text.empty() ? std::string() : ": " + event.text));
    PostReply(pickup.reply, LINEERR_OPERATIONFAILED);
    return true;
}

// The caller took us on: the call is the line's, connected, its caller the one who rang the
// colleague (as the server's presence named it).
void Exchange::ConnectPickedUpCall(const SipPickup& pickup, const SipEvent& event)
{
    Call& call = m_calls[m_nextCallId];
    call.id = m_nextCallId++;
    call.device = pickup.device;
    call.incoming = true;
    call.pickedUp = true;
    call.callerNumber = pickup.callerNumber;
    call.appName = pickup.appName;
    call.sipCall = pickup.sipCall;
    m_lines[pickup.device].activeCall = call.id;
    const HCALL handle = AddCallHandle(call, pickup.reply.line, LINECALLPRIVILEGE_OWNER);
    PostReplyWithCalls(pickup.reply.line, pickup.reply.request, { pickup.callOut, handle });
    TakeSipMedia(call, event);
    ConnectCall(call);
}

LONG Exchange::PickUpSimulated(HLINE line, DWORD device, HCALL* callOut, const std::string& destination)
{
    const auto named = std::find_if(
        m_lines.begin(), m_lines.end(), [&](const Line& entry) { return entry.config.name == destination; });
    const auto ringing = named == m_lines.end() ? 0 : DWORD(named - m_lines.begin());
    if (named == m_lines.end() || ringing == device || IsSipLine(ringing))
        return LINEERR_OPERATIONUNAVAIL;
    Call* offered = FindCall(m_lines[ringing].activeCall);
    if (!offered || offered->state != LINECALLSTATE_OFFERING)
        return LINEERR_OPERATIONFAILED;
    Call& call = m_calls[m_nextCallId];
    call.id = m_nextCallId++;
    call.device = device;
    call.incoming = true;
    call.pickedUp = true;
    call.callerNumber = offered->callerNumber;
    call.callerName = offered->callerName;
    call.callerFlags = offered->callerFlags & (TAPISIM_CALLER_BLOCKED | TAPISIM_CALLER_OUTOFAREA);
    call.appName = m_lineApps.at(m_openLines.at(line).app).name;
    m_lines[device].activeCall = call.id;
    // The line it rang at learns it was picked up; an owner drops it as any ended call.
    SetState(*offered, HasOwner(ringing) ? LINECALLSTATE_DISCONNECTED : LINECALLSTATE_IDLE,
        HasOwner(ringing) ? LINEDISCONNECTMODE_PICKUP : 0);
    const DWORD request = NewRequest();
    const HCALL handle = AddCallHandle(call, line, LINECALLPRIVILEGE_OWNER);
    PostReplyWithCalls(line, request, { callOut, handle });
    if (LineAudio* audio = AudioOf(device))
        audio->AppendLog("picked up the call ringing at " + destination);
    ConnectCall(call);
    return static_cast<LONG>(request);
}

} // namespace tapi
