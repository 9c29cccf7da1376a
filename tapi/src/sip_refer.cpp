#include "sip_line.h"

#include "line_audio.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>
#include <string_view>

// Transfers on a SIP line. Ours: REFER to the far end of a connected call, whose NOTIFYs report
// how the new call goes (a sipfrag status line); the exchange hears the final one. The far end's:
// an INVITE with Replaces takes the place of the call it names (answered at once, the old call
// ended with BYE).

namespace tapi {

namespace {

// The far end's reports on a transfer may take as long as the new call rings.
constexpr std::uint64_t kTransferWaitMs = 60000;

pl PlOf(std::string_view text)
{
    return pl{ text.data(), text.size() };
}

std::string_view ViewOf(const pl& value)
{
    return value.p ? std::string_view(value.p, value.l) : std::string_view();
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool SameWord(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

struct FragStatus {
    int code = 0;
    std::string text; // "486 Busy Here"
};

// The status line of a message/sipfrag body ("SIP/2.0 486 Busy Here"); none when it holds none.
std::optional<FragStatus> SipfragStatus(std::string_view body)
{
    constexpr std::string_view kVersion = "SIP/2.0 ";
    if (body.substr(0, kVersion.size()) != kVersion)
        return std::nullopt;
    std::string_view line = body.substr(kVersion.size());
    line = Trim(line.substr(0, line.find_first_of("\r\n")));
    if (line.size() < 3
        || !std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    FragStatus status;
    status.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    // The reason is the far end's text: only printable characters are kept.
    for (const char c : line.substr(0, 80))
        status.text += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    return status;
}

// A Replaces header's dialog: "call-id;to-tag=T;from-tag=F" (parameters in any order).
struct ReplacedDialog {
    std::string_view callId;
    std::string_view toTag; // our tag, the dialog's local one
    std::string_view fromTag; // the far end's
};

std::optional<ReplacedDialog> ParseReplaces(std::string_view value)
{
    ReplacedDialog dialog;
    std::size_t end = value.find(';');
    dialog.callId = Trim(value.substr(0, end));
    while (end != std::string_view::npos) {
        value.remove_prefix(end + 1);
        end = value.find(';');
        const std::string_view parameter = value.substr(0, end);
        const std::size_t equals = parameter.find('=');
        const std::string_view name = Trim(parameter.substr(0, equals));
        const std::string_view text
            = equals == std::string_view::npos ? "" : Trim(parameter.substr(equals + 1));
        if (SameWord(name, "to-tag"))
            dialog.toTag = text;
        else if (SameWord(name, "from-tag"))
            dialog.fromTag = text;
    }
    if (dialog.callId.empty() || dialog.toTag.empty() || dialog.fromTag.empty())
        return std::nullopt;
    return dialog;
}

// Whether the dialog is the session's: as an in-dialog request from the far end would name it.
bool IsDialogOf(const ReplacedDialog& dialog, const sipsess* session)
{
    sip_msg probe{};
    probe.req = true;
    probe.callid = PlOf(dialog.callId);
    probe.to.tag = PlOf(dialog.toTag);
    probe.from.tag = PlOf(dialog.fromTag);
    return session && sip_dialog_cmp(sipsess_dialog(session), &probe);
}

} // namespace

SipTransfer::SipTransfer()
{
    tmr_init(&wait);
}

SipTransfer::~SipTransfer()
{
    tmr_cancel(&wait);
    mem_deref(request); // a REFER still unanswered is forgotten: its answer reaches nobody
}

/* ---- our transfers ---------------------------------------------------------------------- */

void SipLine::Transfer(std::uint64_t id, const std::string& target)
{
    SipCall* call = Find(id);
    if (!call)
        return;
    if (!call->established || call->transfer) {
        SipEvent event;
        event.kind = SipEvent::Kind::Transferred;
        event.line = m_lineId;
        event.call = id;
        event.text = call->transfer ? "a transfer of the call is under way" : "the call is not connected";
        m_service.Post(std::move(event));
        return;
    }
    call->transfer = std::make_unique<SipTransfer>();
    const std::string referredBy = FromUri();
    const int err = sip_drequestf(&call->transfer->request, m_sip, true, "REFER",
        sipsess_dialog(call->session), 0, nullptr, OnReferContact, OnReferAnswer, call,
        "Refer-To: <%s>\r\nReferred-By: <%s>\r\nContent-Length: 0\r\n\r\n", target.c_str(),
        referredBy.c_str());
    if (err) {
        FinishTransfer(*call, 0, "cannot send the transfer: " + ErrorText(err));
        return;
    }
    tmr_start(&call->transfer->wait, kTransferWaitMs, OnTransferSilence, call);
}

int SipLine::OnReferContact(sip_transp transport, const sa* source, const sa*, mbuf* message, void* arg)
{
    // A REFER starts a subscription (the far end's NOTIFYs): it needs our Contact.
    auto* call = static_cast<SipCall*>(arg);
    sip_contact contact{};
    sip_contact_set(&contact, call->line->m_account.user.c_str(), source, transport);
    return mbuf_printf(message, "%H", sip_contact_print, &contact);
}

void SipLine::OnReferAnswer(int err, const sip_msg* msg, void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    if (!call->transfer || (msg && msg->scode < 200))
        return;
    call->transfer->request = nullptr; // libre frees the finished request
    if (err || !msg)
        call->line->FinishTransfer(*call, 0, "no answer to the transfer: " + ErrorText(err));
    else if (msg->scode >= 300)
        call->line->FinishTransfer(
            *call, msg->scode, "the far end refused the transfer: " + StatusText(*msg));
    else
        call->transfer->accepted = true; // the outcome comes by NOTIFY
}

void SipLine::OnTransferSilence(void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    call->line->FinishTransfer(*call, 0, "no word from the far end on the transfer");
}

bool SipLine::TakeTransferReport(const sip_msg& notify)
{
    SipCall* call = m_call && m_call->transfer && sip_dialog_cmp(sipsess_dialog(m_call->session), &notify)
        ? m_call.get()
        : nullptr;
    if (!call)
        return false;
    if (!sip_dialog_rseq_valid(sipsess_dialog(call->session), &notify)) {
        sip_treply(nullptr, m_sip, &notify, 500, "Server Internal Error");
        return true;
    }
    sip_treply(nullptr, m_sip, &notify, 200, "OK");
    const auto status = SipfragStatus(
        std::string_view(reinterpret_cast<const char*>(mbuf_buf(notify.mb)), mbuf_get_left(notify.mb)));
    const sip_hdr* state = sip_msg_hdr(&notify, SIP_HDR_SUBSCRIPTION_STATE);
    const bool terminated = state && ViewOf(state->val).substr(0, 10) == "terminated";
    if (status && status->code >= 200)
        FinishTransfer(*call, status->code, status->text);
    else if (terminated)
        FinishTransfer(*call, 0, "the far end stopped reporting on the transfer");
    return true;
}

void SipLine::FinishTransfer(SipCall& call, int code, const std::string& text)
{
    SipEvent event;
    event.kind = SipEvent::Kind::Transferred;
    event.line = m_lineId;
    event.call = call.id;
    event.code = code;
    event.text = text;
    m_service.Post(std::move(event));
    call.transfer.reset();
}

/* ---- the far end's transfer: INVITE with Replaces ---------------------------------------- */

bool SipLine::TakeReplacingCall(const sip_msg& invite)
{
    const sip_hdr* header = sip_msg_hdr(&invite, SIP_HDR_REPLACES);
    if (!header)
        return false;
    const auto dialog = ParseReplaces(ViewOf(header->val));
    if (!dialog) {
        sip_treply(nullptr, m_sip, &invite, 400, "Bad Replaces Header");
        return true;
    }
    // Only a call that was answered is taken over; a ringing one is no dialog to replace yet.
    if (!m_call || !m_call->established || !IsDialogOf(*dialog, m_call->session)) {
        sip_treply(nullptr, m_sip, &invite, 481, "Call/Transaction Does Not Exist");
        return true;
    }
    std::string error;
    auto call = NewCall(m_service.NewIncomingCallId(), true, error);
    if (!call) {
        Refuse(invite, 500, "Server Internal Error");
        return true;
    }
    if (mbuf_get_left(invite.mb)
        && (TakeRemoteDescription(*call, invite.mb, true) != 0 || !CarriesAudio(*call))) {
        Refuse(invite, 488, "Not Acceptable Here");
        return true;
    }
    AcceptReplacement(invite, std::move(call));
    return true;
}

void SipLine::AcceptReplacement(const sip_msg& invite, std::unique_ptr<SipCall> call)
{
    mbuf* description = nullptr;
    int err = sdp_encode(&description, call->sdp, !call->remoteOffered);
    if (!err)
        err = sipsess_accept(&call->session, m_sessions, &invite, 200, "OK", m_account.user.c_str(),
            "application/sdp", description, OnAuth, this, false, OnOffer, OnAnswer, OnEstablished, nullptr,
            nullptr, OnClosed, call.get(), "Allow: %s\r\n", kAllowedMethods);
    mem_deref(description);
    if (err) {
        Refuse(invite, 500, "Server Internal Error");
        return;
    }
    const std::uint64_t replaced = m_call->id;
    SipEvent ended;
    ended.kind = SipEvent::Kind::Ended;
    ended.replaced = true;
    EndCall(*m_call, std::move(ended)); // its BYE goes out once the old session is freed
    SipEvent incoming = CallEvent(invite, SipEvent::Kind::Incoming);
    incoming.call = call->id;
    incoming.replaces = replaced;
    m_service.Post(std::move(incoming));
    m_call = std::move(call);
    Connect(*m_call);
}

} // namespace tapi
