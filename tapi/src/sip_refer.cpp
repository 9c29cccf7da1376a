#include "sip_line.h"

#include "line_audio.h"
#include "sip_parse.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <iostream>
#include <optional>
#include <string_view>

// Transfers on a SIP line. Ours: REFER to the far end of a connected call, whose NOTIFYs report
// how the new call goes (a sipfrag status line); the exchange hears the final one. The far end's:
// an INVITE with Replaces takes the place of the call it names (answered at once, the old call
// ended with BYE). Directed pickup is Replaces too: our INVITE asks the caller of a colleague's
// ringing call to replace that early dialog with ours, and a call of ours still ringing is handed
// to whoever picks it up (the original INVITE cancelled).

namespace tapi {

namespace {

// The far end's reports on a transfer may take as long as the new call rings.
constexpr std::uint64_t kTransferWaitMs = 60000;
// How long a call we handed over waits for the far end's BYE before we send ours.
constexpr std::uint64_t kHandOverByeMs = 2000;
// A call rings at a few phones at once at most (forking): the early dialogs kept for a pickup.
constexpr std::size_t kMaxEarlyDialogs = 8;

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
    bool earlyOnly = false; // only a dialog not yet answered may be replaced (a pickup)
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
        else if (SameWord(name, "early-only"))
            dialog.earlyOnly = true;
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

// Whether the dialog is one that answers to our ringing call opened.
bool IsEarlyDialogOf(const ReplacedDialog& dialog, const SipCall& call)
{
    return !call.incoming && !call.established && dialog.callId == call.callId
        && dialog.toTag == call.localTag
        && std::find(call.earlyTags.begin(), call.earlyTags.end(), dialog.fromTag) != call.earlyTags.end();
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A URI header's value with its %XX escapes undone; none when it is malformed or would hold a
// control character (a header of our INVITE is made of it).
std::optional<std::string> Unescaped(std::string_view text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
            const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
            if (low < 0)
                return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
        plain.push_back(c);
    }
    return plain;
}

// `text` as a URI header's value: all but unreserved characters %XX-escaped.
std::string Escaped(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr std::string_view kUnreserved = "-_.!~*'()";
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || kUnreserved.find(c) != std::string_view::npos) {
            escaped.push_back(c);
            continue;
        }
        escaped += '%';
        escaped += kHex[byte >> 4];
        escaped += kHex[byte & 15];
    }
    return escaped;
}

// What a Refer-To names: the URI to call and the Replaces its headers carry (attended transfer).
struct ReferTarget {
    std::string uri;
    std::string replaces;
};

std::optional<ReferTarget> ParseReferTo(std::string_view value, const SipAccount& account)
{
    value = Trim(value);
    const std::size_t open = value.find('<');
    if (open != std::string_view::npos) {
        const std::size_t close = value.find('>', open);
        if (close == std::string_view::npos)
            return std::nullopt;
        value = value.substr(open + 1, close - open - 1);
    } else {
        value = value.substr(0, value.find(';')); // a bare address: what follows ';' are header parameters
    }
    const std::size_t query = value.find('?');
    const std::string_view address = value.substr(0, query);
    ReferTarget target;
    // Only a SIP address is called: SipTargetUri takes sip: and sips: URIs as they are.
    if (address.rfind("sip:", 0) != 0 && address.rfind("sips:", 0) != 0)
        return std::nullopt;
    target.uri = SipTargetUri(std::string(address), account);
    if (target.uri.empty())
        return std::nullopt;
    std::string_view headers = query == std::string_view::npos ? "" : value.substr(query + 1);
    while (!headers.empty()) {
        const std::string_view header = headers.substr(0, headers.find('&'));
        headers.remove_prefix(std::min(headers.size(), header.size() + 1));
        const std::size_t equals = header.find('=');
        if (equals == std::string_view::npos || !SameWord(header.substr(0, equals), "Replaces"))
            continue;
        const auto replaces = Unescaped(header.substr(equals + 1));
        if (!replaces || !ParseReplaces(*replaces))
            return std::nullopt;
        target.replaces = *replaces;
    }
    return target;
}

// The part of a header's text that may be sent on in one of ours: none with control characters.
std::string Forwardable(std::string_view text)
{
    const bool clean = std::none_of(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return clean ? std::string(text) : std::string();
}

} // namespace

SipTransfer::SipTransfer()
{
    tmr_init(&wait);
}

SipTransfer::~SipTransfer()
{
    tmr_cancel(&wait); // a REFER still unanswered is forgotten with `request`
}

/* ---- our transfers ---------------------------------------------------------------------- */

void SipLine::Transfer(std::uint64_t id, const std::string& target)
{
    SipCall* call = Find(id);
    if (!call)
        return;
    if (!call->established || call->transfer || target.empty()) {
        SipEvent event;
        event.kind = SipEvent::Kind::Transferred;
        event.line = m_lineId;
        event.call = id;
        event.text = call->transfer ? "a transfer of the call is under way"
            : target.empty()        ? "the call to transfer to is not connected"
                                    : "the call is not connected";
        m_service.Post(std::move(event));
        return;
    }
    call->transfer = std::make_unique<SipTransfer>();
    call->transfer->request = InDialog(*call, "REFER",
        "Refer-To: <" + target + ">\r\nReferred-By: <" + FromUri() + ">\r\nContent-Length: 0\r\n\r\n",
        OnReferAnswer, call);
    if (const int err = call->transfer->request->Send()) {
        FinishTransfer(*call, 0, "cannot send the transfer: " + ErrorText(err));
        return;
    }
    tmr_start(&call->transfer->wait, kTransferWaitMs, OnTransferSilence, call);
}

std::string SipLine::AttendedTarget(std::uint64_t id) const
{
    const SipCall* call = Find(id);
    if (!call || !call->established || call->dialog.empty())
        return {};
    return call->remoteUri + "?Replaces=" + Escaped(call->dialog);
}

void SipLine::RememberDialog(SipCall& call, const sip_msg* msg)
{
    if (!msg || !call.dialog.empty())
        return;
    const sip_taddr& ours = call.incoming ? msg->to : msg->from;
    const sip_taddr& theirs = call.incoming ? msg->from : msg->to;
    call.remoteUri = std::string(ViewOf(theirs.auri));
    call.dialog = std::string(ViewOf(msg->callid)) + ";to-tag=" + std::string(ViewOf(theirs.tag))
        + ";from-tag=" + std::string(ViewOf(ours.tag));
}

void SipLine::RememberEarlyDialog(SipCall& call, const sip_msg& msg)
{
    const std::string tag(ViewOf(msg.to.tag));
    if (call.incoming || call.established || tag.empty() || call.earlyTags.size() == kMaxEarlyDialogs
        || std::find(call.earlyTags.begin(), call.earlyTags.end(), tag) != call.earlyTags.end())
        return;
    call.callId = std::string(ViewOf(msg.callid));
    call.localTag = std::string(ViewOf(msg.from.tag));
    call.earlyTags.push_back(tag);
}

std::unique_ptr<DialogRequest> SipLine::InDialog(
    const SipCall& call, const char* method, std::string headers, sip_resp_h* answer, void* arg)
{
    return std::make_unique<DialogRequest>(m_sip, sipsess_dialog(call.session), method, std::move(headers),
        m_account.user, SipCredentials{ OnAuth, this }, answer, arg);
}

void SipLine::OnReferAnswer(int err, const sip_msg* msg, void* arg)
{
    // A 2xx says the far end took the transfer on: the outcome comes by NOTIFY.
    auto* call = static_cast<SipCall*>(arg);
    if (!call->transfer || (msg && msg->scode < 300))
        return;
    if (err || !msg)
        call->line->FinishTransfer(*call, 0, "no answer to the transfer: " + ErrorText(err));
    else
        call->line->FinishTransfer(
            *call, msg->scode, "the far end refused the transfer: " + StatusText(*msg));
}

void SipLine::OnTransferSilence(void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    call->line->FinishTransfer(*call, 0, "no word from the far end on the transfer");
}

bool SipLine::TakeTransferReport(const sip_msg& notify)
{
    const auto it
        = std::find_if(m_calls.begin(), m_calls.end(), [&notify](const std::unique_ptr<SipCall>& entry) {
              return entry->transfer && sip_dialog_cmp(sipsess_dialog(entry->session), &notify);
          });
    if (it == m_calls.end())
        return false;
    SipCall* call = it->get();
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
    PostOutcome(call, SipEvent::Kind::Transferred, code, text);
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
    // An answered call is taken over unless only a ringing one may be; of the ringing ones only our
    // own calls (a pickup at the far end), never a caller still ringing here.
    const auto replaced
        = std::find_if(m_calls.begin(), m_calls.end(), [&dialog](const std::unique_ptr<SipCall>& entry) {
              return (entry->established && IsDialogOf(*dialog, entry->session))
                  || IsEarlyDialogOf(*dialog, *entry);
          });
    if (replaced == m_calls.end()) {
        sip_treply(nullptr, m_sip, &invite, 481, "Call/Transaction Does Not Exist");
        return true;
    }
    if (dialog->earlyOnly && (*replaced)->established) {
        sip_treply(nullptr, m_sip, &invite, 486, "Busy Here");
        return true;
    }
    std::string error;
    const bool pickup = !(*replaced)->established;
    auto call = NewCall(pickup ? (*replaced)->id : m_service.NewIncomingCallId(), true, error);
    if (!call) {
        Refuse(invite, 500, "Server Internal Error");
        return true;
    }
    if (mbuf_get_left(invite.mb)
        && (TakeRemoteDescription(*call, invite.mb, true) != 0 || !CarriesAudio(*call))) {
        Refuse(invite, 488, "Not Acceptable Here");
        return true;
    }
    if (pickup)
        AcceptPickup(invite, **replaced, std::move(call));
    else
        AcceptReplacement(invite, **replaced, std::move(call));
    return true;
}

bool SipLine::AcceptSession(const sip_msg& invite, SipCall& call)
{
    mbuf* description = nullptr;
    int err = sdp_encode(&description, call.sdp, !call.remoteOffered);
    if (!err)
        err = sipsess_accept(&call.session, m_sessions, &invite, 200, "OK", m_account.user.c_str(),
            "application/sdp", description, OnAuth, this, false, OnOffer, OnAnswer, OnEstablished, nullptr,
            OnRefer, OnClosed, &call, "Allow: %s\r\n", kAllowedMethods);
    mem_deref(description);
    if (err)
        Refuse(invite, 500, "Server Internal Error");
    return err == 0;
}

void SipLine::AcceptReplacement(const sip_msg& invite, SipCall& old, std::unique_ptr<SipCall> call)
{
    if (!AcceptSession(invite, *call))
        return;
    const std::uint64_t replaced = old.id;
    SipEvent ended;
    ended.kind = SipEvent::Kind::Ended;
    ended.replaced = true;
    EndCall(old, std::move(ended)); // its BYE goes out once the old session is freed
    SipEvent incoming = CallEvent(invite, SipEvent::Kind::Incoming);
    incoming.call = call->id;
    incoming.replaces = replaced;
    m_service.Post(std::move(incoming));
    m_calls.push_back(std::move(call));
    Connect(*m_calls.back());
}

void SipLine::AcceptPickup(const sip_msg& invite, SipCall& old, std::unique_ptr<SipCall> call)
{
    if (!AcceptSession(invite, *call))
        return;
    // The exchange's call goes on under the same id: the old session is dropped without an event
    // (CANCEL once it is freed, outside libre's handlers).
    m_ended.push_back(Detach(old));
    tmr_start(&m_collect, 0, OnCollect, this);
    const SipCaller picker = CallerOf(invite, IsTrustedProxy(invite.src));
    m_calls.push_back(std::move(call));
    Connect(*m_calls.back(), picker.number);
}

void SipLine::Pickup(std::uint64_t id, const RingingCall& ringing)
{
    // Require: a phone that does not know Replaces refuses (420) rather than ring as a new call.
    Dial(id, ringing.callerUri, "Replaces: " + ringing.replaces + ";early-only\r\nRequire: replaces\r\n");
}

/* ---- the far end's transfer: REFER ---------------------------------------------------------- */

void SipLine::OnRefer(sip*, const sip_msg* msg, void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
    call->line->TakeRefer(*call, *msg);
}

void SipLine::TakeRefer(SipCall& original, const sip_msg& refer)
{
    const sip_hdr* referTo = sip_msg_hdr(&refer, SIP_HDR_REFER_TO);
    if (!referTo) {
        sip_treply(nullptr, m_sip, &refer, 400, "Missing Refer-To");
        return;
    }
    const auto target = ParseReferTo(ViewOf(referTo->val), m_account);
    if (!target) {
        sip_treply(nullptr, m_sip, &refer, 400, "Bad Refer-To");
        return;
    }
    if (!original.established || Find(original.id) != &original) {
        sip_treply(nullptr, m_sip, &refer, 403, "Call Not Connected");
        return;
    }
    if (original.referral || original.transfer) {
        sip_treply(nullptr, m_sip, &refer, 491, "Request Pending");
        return;
    }
    const sip_hdr* referredBy = sip_msg_hdr(&refer, SIP_HDR_REFERRED_BY);
    const std::string by = referredBy ? Forwardable(ViewOf(referredBy->val)) : std::string();
    std::string headers = target->replaces.empty() ? "" : "Replaces: " + target->replaces + "\r\n";
    if (!by.empty())
        headers += "Referred-By: " + by + "\r\n"; // the new party learns who sent us
    sip_contact contact{};
    sip_contact_set(&contact, m_account.user.c_str(), &refer.dst, refer.tp);
    sip_treplyf(nullptr, nullptr, m_sip, &refer, false, 202, "Accepted", "%HContent-Length: 0\r\n\r\n",
        sip_contact_print, &contact);
    original.referral = std::make_unique<SipReferral>();
    original.referral->cseq = refer.cseq.num;
    std::string error;
    auto call = NewCall(m_service.NewIncomingCallId(), false, error);
    if (!call || !Invite(*call, target->uri, headers, error)) {
        std::cerr << "kestrium telephony: " << m_name << ": " << error << std::endl;
        NotifyReferrer(original, "503 Service Unavailable", true);
        original.referral.reset();
        return;
    }
    NotifyReferrer(original, "100 Trying", false);
    const SipCaller party = PartyOf("<" + target->uri + ">");
    const SipCaller sender = PartyOf(by);
    SipEvent event;
    event.kind = SipEvent::Kind::Referred;
    event.line = m_lineId;
    event.call = call->id;
    event.replaces = original.id;
    event.number = party.number.empty() ? target->uri : party.number;
    event.name = DisplayNameOf(ViewOf(referTo->val)); // a Refer-To may name the party too
    event.referredByNumber = sender.number;
    event.referredByName = sender.name;
    m_service.Post(std::move(event));
    original.referral->call = std::move(call);
}

void SipLine::NotifyReferrer(const SipCall& original, const std::string& status, bool final)
{
    const std::string body = "SIP/2.0 " + status + "\r\n";
    auto report = InDialog(original, "NOTIFY",
        "Event: refer;id=" + std::to_string(original.referral ? original.referral->cseq : 0)
            + "\r\nSubscription-State: " + (final ? "terminated;reason=noresource" : "active;expires=60")
            + "\r\nContent-Type: message/sipfrag;version=2.0\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\n\r\n" + body);
    std::erase_if(m_reports, [](const std::unique_ptr<DialogRequest>& sent) { return sent->Done(); });
    if (const int err = report->Send())
        std::cerr << "kestrium telephony: " << m_name << ": cannot report on the transfer: " << ErrorText(err)
                  << std::endl;
    else
        m_reports.push_back(std::move(report));
}

SipCall* SipLine::ReferrerOf(const SipCall* placed, std::uint64_t id)
{
    const auto it = std::find_if(m_calls.begin(), m_calls.end(), [&](const std::unique_ptr<SipCall>& entry) {
        const SipCall* referred = entry->referral ? entry->referral->call.get() : nullptr;
        return referred && (placed ? referred == placed : referred->id == id);
    });
    return it == m_calls.end() ? nullptr : it->get();
}

void SipLine::HandOver(SipCall& call)
{
    SipCall* original = ReferrerOf(&call);
    if (!original)
        return;
    NotifyReferrer(*original, "200 OK", true);
    std::unique_ptr<SipCall> placed = std::move(original->referral->call);
    original->referral.reset();
    SipEvent ended;
    ended.kind = SipEvent::Kind::Ended;
    ended.replaced = true;
    ended.line = m_lineId;
    ended.call = original->id;
    m_service.Post(std::move(ended));
    // The far end ends the call once it has our report. Our BYE, sent at once, could overtake the
    // NOTIFY on its way through a proxy, and the far end would take the transfer for failed: it
    // goes (as the session is freed) only when the far end has not hung up within a while.
    m_handedOver.push_back(Detach(*original));
    tmr_start(&m_handOverWait, kHandOverByeMs, OnHandOverWait, this);
    m_calls.push_back(std::move(placed));
}

void SipLine::OnHandOverWait(void* arg)
{
    static_cast<SipLine*>(arg)->m_handedOver.clear();
}

bool SipLine::ReleaseReferredCall(SipCall& call, const std::string& status)
{
    SipCall* original = ReferrerOf(&call);
    if (!original)
        return false;
    NotifyReferrer(*original, status, true);
    // libre is still inside one of this session's handlers: free it once they returned.
    m_ended.push_back(std::move(original->referral->call));
    original->referral.reset();
    tmr_start(&m_collect, 0, OnCollect, this);
    return true;
}

void SipLine::KeepReferredCall(SipCall& original)
{
    if (!original.referral)
        return;
    if (original.referral->call)
        m_calls.push_back(std::move(original.referral->call));
    original.referral.reset();
}

bool SipLine::DropReferredCall(std::uint64_t id)
{
    SipCall* original = ReferrerOf(nullptr, id);
    if (!original)
        return false;
    NotifyReferrer(*original, "487 Request Terminated", true);
    original->referral.reset(); // CANCEL
    return true;
}

} // namespace tapi
