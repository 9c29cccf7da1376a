#include "sip_line.h"

#include <algorithm>
#include <iostream>
#include <string_view>

// Several calls on one SIP line: a caller while the line has a call is offered as a waiting call
// (the exchange plays the call-waiting tone and holds, resumes and swaps the calls), and how the
// far end answered our hold or resume is reported, a refusal undone on our side.

namespace tapi {

SipCall* SipLine::Find(std::uint64_t id) const
{
    const auto it = std::find_if(m_calls.begin(), m_calls.end(),
        [id](const std::unique_ptr<SipCall>& call) { return call->id == id; });
    return it == m_calls.end() ? nullptr : it->get();
}

bool SipLine::BusyForCaller() const
{
    if (m_calls.empty())
        return false;
    if (!m_account.callWaiting || m_calls.size() >= kMaxCallsOnLine)
        return true;
    // One caller at a time is offered: while one rings or waits, the next one hears busy.
    return std::any_of(m_calls.begin(), m_calls.end(),
        [](const std::unique_ptr<SipCall>& call) { return call->incoming && !call->established; });
}

std::unique_ptr<SipCall> SipLine::Detach(const SipCall& call)
{
    const auto it = std::find_if(m_calls.begin(), m_calls.end(),
        [&call](const std::unique_ptr<SipCall>& entry) { return entry.get() == &call; });
    if (it == m_calls.end())
        return nullptr;
    std::unique_ptr<SipCall> detached = std::move(*it);
    m_calls.erase(it);
    return detached;
}

void SipLine::TakeResponse(const std::uint8_t* packet, std::size_t length)
{
    constexpr std::string_view kResponse = "SIP/2.0 ";
    const bool awaited = std::any_of(m_calls.begin(), m_calls.end(),
        [](const std::unique_ptr<SipCall>& call) { return call->awaitingHoldAnswer; });
    if (!awaited || length <= kResponse.size()
        || std::string_view(reinterpret_cast<const char*>(packet), kResponse.size()) != kResponse)
        return;
    mbuf* buffer = mbuf_alloc(length);
    sip_msg* answer = nullptr;
    if (buffer && mbuf_write_mem(buffer, packet, length) == 0) {
        buffer->pos = 0;
        if (sip_msg_decode(&answer, buffer) != 0)
            answer = nullptr;
    }
    if (answer && answer->scode >= 200 && pl_strcmp(&answer->cseq.met, "INVITE") == 0)
        for (const std::unique_ptr<SipCall>& call : m_calls)
            if (call->awaitingHoldAnswer
                && pl_strcmp(&answer->callid, sip_dialog_callid(sipsess_dialog(call->session))) == 0) {
                TakeHoldAnswer(*call, *answer);
                break;
            }
    mem_deref(answer);
    mem_deref(buffer);
}

void SipLine::TakeHoldAnswer(SipCall& call, const sip_msg& answer)
{
    const std::uint16_t code = answer.scode;
    // The stack answers a first challenge and sends the re-INVITE again after glare (491) or a
    // 500 with Retry-After: the final answer is still to come.
    const bool challenge = code == 401 || code == 407;
    if ((challenge && !call.challenged) || code == 491
        || (code == 500 && sip_msg_hdr(&answer, SIP_HDR_RETRY_AFTER))) {
        call.challenged = call.challenged || challenge;
        return;
    }
    call.awaitingHoldAnswer = false;
    if (code < 300) {
        ReportHoldAnswer(call, code, "");
        return;
    }
    // Refused: the far end goes on as before, and so do we (our audio stops or flows again).
    call.held = !call.held;
    ApplyDirection(call);
    const std::string status = StatusText(answer);
    std::cerr << "kestrium telephony: " << m_name << ": the far end refused to "
              << (call.held ? "resume" : "hold") << " the call: " << status << std::endl;
    ReportHoldAnswer(call, code, status);
}

void SipLine::ReportHoldAnswer(const SipCall& call, int code, const std::string& text)
{
    PostOutcome(call, SipEvent::Kind::HoldAnswered, code, text);
}

void SipLine::PostOutcome(const SipCall& call, SipEvent::Kind kind, int code, const std::string& text)
{
    SipEvent event;
    event.kind = kind;
    event.line = m_lineId;
    event.call = call.id;
    event.code = code;
    event.text = text;
    m_service.Post(std::move(event));
}

} // namespace tapi
