#include "exchange.h"

// Several calls on a SIP line: each answered call brings its own audio, which the line carries
// while the call is active (or a conference's party), and our hold or resume goes to the far end
// as a re-INVITE. lineHold and lineUnhold answer once the far end did: a refusal leaves the call as
// it was and fails the request. A hold that comes with another request (answering a waiting call,
// lineSwapHold) takes effect at once; a refusal of it is only written to the line's log.

namespace tapi {

LONG Exchange::RequestSipHold(const OwnedCall& owned, bool hold)
{
    Call& call = *owned.call;
    // Its far end already has it so (it refused an earlier hold that came with another request).
    if (call.sipHeld == hold)
        return CompleteHoldRequest(owned, hold ? nullptr : &call, hold);
    const DWORD request = NewRequest();
    SendSipHold(call, hold, PendingRequest{ request, owned.entry->line });
    return static_cast<LONG>(request);
}

void Exchange::SendSipHold(Call& call, bool hold, std::optional<PendingRequest> reply)
{
    if (!call.sipCall || !m_sip || call.sipHeld == hold)
        return;
    call.sipHeld = hold;
    call.sipHold = SipHoldRequest{ reply, hold };
    m_sip->Hold(call.sipCall, hold);
}

void Exchange::OnSipHoldAnswered(Call& call, const SipEvent& event)
{
    if (!call.sipHold)
        return;
    const SipHoldRequest request = *call.sipHold;
    call.sipHold.reset();
    const bool taken = event.code >= 200 && event.code < 300;
    if (!taken) {
        call.sipHeld = !request.hold;
        if (LineAudio* audio = AudioOf(call.device))
            audio->AppendLog(std::string("far end refused ") + (request.hold ? "hold" : "resume") + ": "
                + (event.text.empty() ? std::to_string(event.code) : event.text));
    }
    if (!request.reply)
        return;
    if (!taken)
        PostReply(*request.reply, LINEERR_OPERATIONFAILED);
    else if (request.hold)
        ApplyHold(*request.reply, &call, nullptr);
    else
        ApplyHold(*request.reply, nullptr, &call);
}

void Exchange::TakeSipMedia(Call& call, const SipEvent& event)
{
    call.sipMedia = event.media;
    if (LineAudio* audio = AudioOf(call.device))
        audio->SetCallLink(call.id, call.sipMedia);
    RefreshLineAudio(call.device);
}

void Exchange::EndSipCall(Call& call)
{
    if (call.sipHold && call.sipHold->reply)
        PostReply(*call.sipHold->reply, LINEERR_INVALCALLSTATE);
    call.sipHold.reset();
    if (!call.sipMedia)
        return;
    if (LineAudio* audio = AudioOf(call.device))
        audio->SetCallLink(call.id, nullptr);
    call.sipMedia.reset();
}

} // namespace tapi
