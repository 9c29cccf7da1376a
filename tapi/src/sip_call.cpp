#include "sip_line.h"

#include "line_audio.h"
#include "sip_parse.h"

#include <cerrno>
#include <iostream>

// The call of a SIP line on the stack's thread: dialing, taking an INVITE, answering, hanging up,
// the offer/answer of both sides, and the watch that ends a call whose audio stopped.

namespace tapi {

namespace {

constexpr std::uint64_t kWatchMs = 1000;
constexpr const char* kAllowHeader = "Allow: %s\r\n";
// An incoming call rings for the program only once its caller kept it this long: a caller who
// cancels sooner (a flood of INVITE and CANCEL pairs, a misdial) leaves no trace, neither a ring
// nor a missed call in the log; nobody could have answered it anyway.
constexpr std::uint64_t kSettleMs = 300;

} // namespace

SipCall::~SipCall()
{
    tmr_cancel(&watch);
    tmr_cancel(&settle);
    if (media)
        media->Close();
    mem_deref(session); // sends CANCEL, BYE or 486 Busy Here as the session stands
    mem_deref(sdp);
}

std::unique_ptr<SipCall> SipLine::NewCall(std::uint64_t id, bool incoming, std::string& error)
{
    auto call = std::make_unique<SipCall>();
    call->line = this;
    call->id = id;
    call->incoming = incoming;
    tmr_init(&call->watch);
    tmr_init(&call->settle);
    call->media = SipMedia::Open(m_local, error);
    if (!call->media)
        return nullptr;
    sa media = m_local;
    sa_set_port(&media, 0);
    int err = sdp_session_alloc(&call->sdp, &media);
    if (!err)
        err = sdp_media_add(
            &call->sdpMedia, call->sdp, sdp_media_audio, call->media->LocalPort(), sdp_proto_rtpavp);
    if (!err)
        err = sdp_format_add(
            nullptr, call->sdpMedia, false, "0", "PCMU", 8000, 1, nullptr, nullptr, nullptr, false, nullptr);
    if (!err)
        err = sdp_format_add(
            nullptr, call->sdpMedia, false, "8", "PCMA", 8000, 1, nullptr, nullptr, nullptr, false, nullptr);
    if (!err)
        err = sdp_format_add(nullptr, call->sdpMedia, false, "101", telev_rtpfmt, 8000, 1, nullptr, nullptr,
            nullptr, false, "0-15");
    if (!err) // RTCP on the RTP port, when the far end takes it too
        err = sdp_media_set_lattr(call->sdpMedia, true, "rtcp-mux", nullptr);
    if (err) {
        error = "cannot describe the call's audio: " + ErrorText(err);
        return nullptr;
    }
    return call;
}

int SipLine::TakeRemoteDescription(SipCall& call, mbuf* body, bool offer)
{
    if (!body || !mbuf_get_left(body))
        return EPROTO;
    if (const int err = sdp_decode(call.sdp, body, offer))
        return err;
    const auto format = ChooseFormat(*call.sdpMedia);
    const sa* remote = sdp_media_raddr(call.sdpMedia);
    if (!format || !remote)
        return EPROTO;
    call.remoteOffered = true;
    call.media->Start(*remote, *format);
    ApplyDirection(call);
    const bool mux = sdp_media_rattr(call.sdpMedia, "rtcp-mux") != nullptr;
    if (offer && !mux) // an answer takes rtcp-mux only when the offer had it
        sdp_media_del_lattr(call.sdpMedia, "rtcp-mux");
    sa rtcp = *remote;
    if (!mux)
        sdp_media_raddr_rtcp(call.sdpMedia, &rtcp);
    call.media->StartRtcp(rtcp, mux);
    return 0;
}

void SipLine::ApplyDirection(SipCall& call)
{
    // libre keeps both directions as seen from our side: the answer is their intersection. A far
    // end at 0.0.0.0 (the old way to hold) cannot be sent to, so we answer it recvonly.
    const sa* remote = sdp_media_raddr(call.sdpMedia);
    const bool reachable = remote && sa_isset(remote, SA_ADDR);
    int wanted = call.held ? SDP_SENDONLY : SDP_SENDRECV;
    if (!reachable)
        wanted &= ~SDP_SENDONLY;
    sdp_media_set_ldir(call.sdpMedia, static_cast<sdp_dir>(wanted));
    const int direction = sdp_media_dir(call.sdpMedia);
    // While we hold, a=sendonly is only the convention: the held party hears silence.
    call.media->SetSending(!call.held && (direction & SDP_SENDONLY) != 0);
    if (!Watched(call))
        tmr_cancel(&call.watch); // a call held by either side may be silent for as long as it likes
    else if (call.established && !tmr_isrunning(&call.watch))
        tmr_start(&call.watch, kWatchMs, OnWatch, &call);
}

bool SipLine::Watched(const SipCall& call)
{
    return sdp_media_dir(call.sdpMedia) == SDP_SENDRECV;
}

bool SipLine::CarriesAudio(const SipCall& call) const
{
    const sa* remote = sdp_media_raddr(call.sdpMedia);
    return remote && sa_port(remote) != 0 && sa_isset(remote, SA_ADDR) && sa_af(remote) == sa_af(&m_local);
}

void SipLine::Connect(SipCall& call, const std::string& party)
{
    HandOver(call);
    call.established = true;
    call.earlyTags.clear();
    if (Watched(call))
        tmr_start(&call.watch, kWatchMs, OnWatch, &call);
    SipEvent event;
    event.kind = SipEvent::Kind::Answered;
    event.line = m_lineId;
    event.call = call.id;
    event.number = party;
    event.media = call.media; // the exchange links it to the line while the call talks
    m_service.Post(std::move(event));
}

void SipLine::EndCall(SipCall& call, SipEvent event)
{
    event.line = m_lineId;
    event.call = call.id;
    const std::string status = event.code ? event.text : "503 Service Unavailable";
    if (call.offer) // the exchange never heard of the call: it is not told now either
        tmr_cancel(&call.settle);
    else
        m_service.Post(std::move(event));
    if (ReleaseReferredCall(call, status))
        return;
    std::unique_ptr<SipCall> ended = Detach(call);
    if (!ended)
        return;
    // libre is still inside one of this session's handlers: free it once they returned.
    KeepReferredCall(*ended);
    m_ended.push_back(std::move(ended));
    tmr_start(&m_collect, 0, OnCollect, this);
}

void SipLine::OnCollect(void* arg)
{
    static_cast<SipLine*>(arg)->m_ended.clear();
}

void SipLine::Dial(std::uint64_t id, const std::string& target, const std::string& headers)
{
    SipEvent failed;
    failed.kind = SipEvent::Kind::Failed;
    failed.line = m_lineId;
    failed.call = id;
    if (m_calls.size() >= kMaxCallsOnLine || !m_sessions) {
        failed.text = m_sessions ? "the line has no room for another call" : m_registrationText;
        m_service.Post(std::move(failed));
        return;
    }
    std::string error;
    auto call = NewCall(id, false, error);
    if (!call || !Invite(*call, target, headers, error)) {
        failed.text = error;
        m_service.Post(std::move(failed));
        return;
    }
    m_calls.push_back(std::move(call));
}

bool SipLine::Invite(SipCall& call, const std::string& target, const std::string& headers, std::string& error)
{
    mbuf* offer = nullptr;
    int err = sdp_encode(&offer, call.sdp, true);
    if (!err) {
        const auto routes = Routes();
        const char* route = routes.empty() ? nullptr : routes.front().c_str();
        const std::string from = FromUri();
        err = sipsess_connect(&call.session, m_sessions, target.c_str(),
            m_account.displayName.empty() ? nullptr : m_account.displayName.c_str(), from.c_str(),
            m_account.user.c_str(), route ? &route : nullptr, route ? 1 : 0, "application/sdp", offer, OnAuth,
            this, false, OnOffer, OnAnswer, OnProgress, OnEstablished, nullptr, OnRefer, OnClosed, &call,
            "Allow: %s\r\n%s", kAllowedMethods, headers.c_str());
    }
    mem_deref(offer);
    if (err)
        error = "cannot call " + target + ": " + ErrorText(err);
    return err == 0;
}

void SipLine::OnIncoming(const sip_msg* msg, void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (!self->TakesCallsFrom(msg->src)) {
        sip_treply(nullptr, self->m_sip, msg, 403, "Forbidden");
        return;
    }
    // A flood of calls (each one a missed call in the log) is refused before anything rings.
    if (!self->m_callRate.Admit(msg->src, MediaClockMs())) {
        sip_treply(nullptr, self->m_sip, msg, 503, "Service Unavailable");
        return;
    }
    if (!self->m_service.Owned(self->m_lineId)) {
        sip_treply(nullptr, self->m_sip, msg, 480, "Temporarily Unavailable");
        return;
    }
    if (self->TakeReplacingCall(*msg))
        return;
    if (self->BusyForCaller()) {
        self->Refuse(*msg, 486, "Busy Here");
        return;
    }
    std::string error;
    auto call = self->NewCall(self->m_service.NewIncomingCallId(), true, error);
    if (!call) {
        self->Refuse(*msg, 500, "Server Internal Error");
        return;
    }
    // An INVITE without an offer gets ours in the 200 and the answer in the ACK.
    if (mbuf_get_left(msg->mb)
        && (self->TakeRemoteDescription(*call, msg->mb, true) != 0 || !self->CarriesAudio(*call))) {
        self->Refuse(*msg, 488, "Not Acceptable Here");
        return;
    }
    const int err = sipsess_accept(&call->session, self->m_sessions, msg, 180, "Ringing",
        self->m_account.user.c_str(), "application/sdp", nullptr, OnAuth, self, false, OnOffer, OnAnswer,
        OnEstablished, nullptr, OnRefer, OnClosed, call.get(), kAllowHeader, kAllowedMethods);
    if (err) {
        self->Refuse(*msg, 500, "Server Internal Error");
        return;
    }
    SipEvent event = self->CallEvent(*msg, SipEvent::Kind::Incoming);
    event.call = call->id;
    call->offer = std::move(event);
    tmr_start(&call->settle, kSettleMs, OnSettled, call.get());
    self->m_calls.push_back(std::move(call));
}

SipEvent SipLine::CallEvent(const sip_msg& invite, SipEvent::Kind kind) const
{
    const SipCaller caller = CallerOf(invite, IsTrustedProxy(invite.src));
    SipEvent event;
    event.kind = kind;
    event.line = m_lineId;
    event.number = caller.number;
    event.name = caller.name;
    event.blocked = caller.blocked;
    return event;
}

void SipLine::Refuse(const sip_msg& invite, std::uint16_t code, const char* reason)
{
    sip_treply(nullptr, m_sip, &invite, code, reason);
    SipEvent event = CallEvent(invite, SipEvent::Kind::Refused);
    event.code = code;
    m_service.Post(std::move(event));
}

void SipLine::OnSettled(void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    call->line->m_service.Post(std::move(*call->offer));
    call->offer.reset();
}

void SipLine::Answer(std::uint64_t id)
{
    SipCall* call = Find(id);
    if (!call || !call->incoming || call->established)
        return;
    mbuf* description = nullptr;
    int err = sdp_encode(&description, call->sdp, !call->remoteOffered);
    if (!err)
        err = sipsess_answer(call->session, 200, "OK", description, kAllowHeader, kAllowedMethods);
    mem_deref(description);
    if (err) {
        SipEvent event;
        event.kind = SipEvent::Kind::Ended;
        EndCall(*call, event);
        return;
    }
    Connect(*call);
}

void SipLine::Hangup(std::uint64_t id)
{
    const SipCall* call = DropReferredCall(id) ? nullptr : Find(id);
    if (!call)
        return;
    std::unique_ptr<SipCall> ended = Detach(*call);
    KeepReferredCall(*ended);
    ended.reset(); // CANCEL, BYE or 486 Busy Here, as the session stands
}

void SipLine::Hold(std::uint64_t id, bool hold)
{
    SipCall* call = Find(id);
    if (!call || !call->established)
        return; // the call ended: the exchange hears that instead
    if (call->awaitingHoldAnswer) {
        ReportHoldAnswer(*call, 0, "another re-INVITE awaits its answer");
        return;
    }
    if (call->held == hold) {
        ReportHoldAnswer(*call, 200, "");
        return;
    }
    call->held = hold;
    ApplyDirection(*call); // our audio stops at once, not only once the far end answered
    mbuf* offer = nullptr;
    int err = sdp_encode(&offer, call->sdp, true);
    if (!err)
        err = sipsess_modify(call->session, offer);
    mem_deref(offer);
    call->challenged = false;
    call->awaitingHoldAnswer = err == 0;
    if (err) {
        call->held = !hold;
        ApplyDirection(*call);
        ReportHoldAnswer(*call, 0, ErrorText(err));
    }
}

int SipLine::OnOffer(mbuf** description, const sip_msg* msg, void* arg)
{
    // A re-INVITE: the far end moved its media (or put us on hold); we answer with ours.
    auto* call = static_cast<SipCall*>(arg);
    if (const int err = call->line->TakeRemoteDescription(*call, msg->mb, true))
        return err;
    return sdp_encode(description, call->sdp, false);
}

int SipLine::OnAnswer(const sip_msg* msg, void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    return call->line->TakeRemoteDescription(*call, msg->mb, false);
}

void SipLine::OnProgress(const sip_msg* msg, void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    SipEvent event;
    event.kind = SipEvent::Kind::Progress;
    event.line = call->line->m_lineId;
    event.call = call->id;
    event.ringing = msg->scode == 180 || msg->scode == 183;
    call->line->m_service.Post(std::move(event));
    RememberEarlyDialog(*call, *msg);
}

void SipLine::OnEstablished(const sip_msg* msg, void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    RememberDialog(*call, msg);
    if (!call->established) // an incoming call was connected when we answered
        call->line->Connect(*call);
}

void SipLine::OnClosed(int err, const sip_msg* msg, void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    SipEvent event;
    if (!call->incoming && !call->established) {
        event.kind = SipEvent::Kind::Failed;
        event.code = msg && !err ? msg->scode : 0;
        event.text = msg && !err ? StatusText(*msg) : ErrorText(err);
    } else {
        event.kind = SipEvent::Kind::Ended; // BYE, or CANCEL of a call we had not answered
    }
    call->line->EndCall(*call, std::move(event));
}

void SipLine::OnWatch(void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    SipLine& line = *call->line;
    if (call->media->SilentForMs() < std::uint64_t(line.m_account.rtpTimeoutS) * 1000) {
        tmr_start(&call->watch, kWatchMs, OnWatch, call);
        return;
    }
    std::cerr << "kestrium telephony: " << line.m_name << ": no audio from the far end for "
              << line.m_account.rtpTimeoutS << " s; the call was ended" << std::endl;
    SipEvent event;
    event.kind = SipEvent::Kind::Ended;
    event.timedOut = true;
    line.EndCall(*call, std::move(event));
}

} // namespace tapi
