#include "sip_watch.h"

#include "sip_line.h"
#include "sip_parse.h"

#include <algorithm>
#include <cctype>
#include <iostream>

// Dialog-event subscriptions (RFC 4235) of a SIP line: libre's subscriber sends SUBSCRIBE, refreshes
// it at 90 % of the time the server granted and ends it with Expires: 0 when it is released; this
// file decides what to watch, reads the NOTIFY bodies and tells the exchange what changed.

namespace tapi {

namespace {

constexpr std::uint32_t kExpiresS = 600;
// After a refusal (489 Bad Event, 404, 403...), a time-out or the server ending the subscription:
// the next try. The state meanwhile is Unknown, so nothing is shown.
constexpr std::uint64_t kRetryMs = 300000;
// The server ended the subscription for a reason that invites a new one at once (RFC 6665).
constexpr std::uint64_t kResubscribeMs = 1000;
constexpr const char* kContentType = "application/dialog-info+xml";

std::string HostOf(std::string_view hostPort)
{
    if (!hostPort.empty() && hostPort.front() == '[') // [IPv6]:port
        return std::string(hostPort.substr(0, hostPort.find(']') + 1));
    return std::string(hostPort.substr(0, hostPort.find(':')));
}

bool SameHost(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// The address as a SIP URI on the account's server; empty when it is not one there.
std::string WatchUri(const std::string& address, const SipAccount& account)
{
    const std::string uri = SipTargetUri(address, account);
    pl text{};
    pl_set_str(&text, uri.c_str());
    struct uri decoded { };
    if (uri.empty() || uri_decode(&decoded, &text) != 0)
        return {};
    const std::string host(decoded.host.p, decoded.host.l);
    const std::string bracketed = decoded.af == AF_INET6 ? "[" + host + "]" : host;
    return SameHost(bracketed, HostOf(account.domain)) ? uri : std::string();
}

bool IsDialogInfo(const sip_msg& msg)
{
    return msg_ctype_cmp(&msg.ctyp, "application", "dialog-info+xml");
}

} // namespace

struct DialogWatch::Watched {
    DialogWatch* owner = nullptr;
    std::string address;
    std::string uri; // empty: not on the line's server, never subscribed
    sipsub* subscription = nullptr;
    tmr retry{};
    DialogBook book;
    LineActivity activity = LineActivity::Unknown;
    std::optional<RingingCall> ringing;

    ~Watched()
    {
        tmr_cancel(&retry);
        mem_deref(subscription); // an active subscription sends SUBSCRIBE with Expires: 0
    }
};

DialogWatch::DialogWatch(SipService& service, DWORD line, sip* stack, const SipAccount& account,
    std::vector<std::string> routes, SipCredentials credentials)
    : m_service(service)
    , m_line(line)
    , m_sip(stack)
    , m_account(account)
    , m_routes(std::move(routes))
    , m_credentials(credentials)
{
}

DialogWatch::~DialogWatch()
{
    Shutdown();
}

void DialogWatch::Shutdown()
{
    m_watched.clear();
    m_events = static_cast<sipevent_sock*>(mem_deref(m_events));
}

bool DialogWatch::Listen()
{
    if (m_events)
        return true;
    const int err = sipevent_listen(&m_events, m_sip, 8, 32, nullptr, nullptr);
    if (err)
        std::cerr << "kestrium telephony: line " << m_line
                  << ": cannot take notifications: " << ErrorText(err) << std::endl;
    return err == 0;
}

void DialogWatch::SetAddresses(const std::vector<std::string>& addresses)
{
    std::vector<std::unique_ptr<Watched>> kept;
    for (const std::string& address : addresses) {
        // A subscription already running for the address is kept.
        auto it = std::find_if(m_watched.begin(), m_watched.end(),
            [&](const auto& watched) { return watched && watched->address == address; });
        if (it != m_watched.end()) {
            kept.push_back(std::move(*it));
            continue;
        }
        auto watched = std::make_unique<Watched>();
        watched->owner = this;
        watched->address = address;
        watched->uri = WatchUri(address, m_account);
        tmr_init(&watched->retry);
        if (!watched->uri.empty())
            Subscribe(*watched);
        kept.push_back(std::move(watched));
    }
    m_watched = std::move(kept); // those left behind unsubscribe as they go
}

void DialogWatch::Subscribe(Watched& watched)
{
    if (!Listen())
        return;
    const std::string from = "sip:" + m_account.user + "@" + m_account.domain;
    std::vector<const char*> routes;
    for (const std::string& route : m_routes)
        routes.push_back(route.c_str());
    watched.book.Clear();
    const int err = sipevent_subscribe(&watched.subscription, m_events, watched.uri.c_str(),
        m_account.displayName.empty() ? nullptr : m_account.displayName.c_str(), from.c_str(), "dialog",
        nullptr, kExpiresS, m_account.user.c_str(), routes.data(), std::uint32_t(routes.size()),
        m_credentials.handler, m_credentials.arg, false, nullptr, OnNotify, OnClosed, &watched,
        "Accept: %s\r\n", kContentType);
    if (err) {
        watched.subscription = nullptr;
        tmr_start(&watched.retry, kRetryMs, OnRetry, &watched);
    }
}

void DialogWatch::OnRetry(void* arg)
{
    auto& watched = *static_cast<Watched*>(arg);
    watched.owner->Subscribe(watched);
}

void DialogWatch::OnNotify(sip* stack, const sip_msg* msg, void* arg)
{
    auto& watched = *static_cast<Watched*>(arg);
    if (msg->mb && mbuf_get_left(msg->mb) > 0 && !IsDialogInfo(*msg)) {
        sip_treplyf(nullptr, nullptr, stack, msg, false, 415, "Unsupported Media Type",
            "Accept: %s\r\nContent-Length: 0\r\n\r\n", kContentType);
        return;
    }
    sip_treply(nullptr, stack, msg, 200, "OK");
    if (!msg->mb || mbuf_get_left(msg->mb) == 0)
        return; // pending subscriptions may notify without a body
    const std::string_view body(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
    std::string error;
    const auto info = ParseDialogInfo(body, error);
    if (!info) {
        // The server's document is not taken; what was known stays until a good one comes.
        std::cerr << "kestrium telephony: line " << watched.owner->m_line << ": the dialog state of "
                  << watched.address << " cannot be read: " << error << std::endl;
        return;
    }
    if (watched.book.Apply(*info))
        watched.owner->Report(watched, watched.book.Activity(), watched.book.Ringing());
}

void DialogWatch::OnClosed(int, const sip_msg*, const sipevent_substate* substate, void* arg)
{
    auto& watched = *static_cast<Watched*>(arg);
    watched.subscription = static_cast<sipsub*>(mem_deref(watched.subscription));
    watched.book.Clear();
    watched.owner->Report(watched, LineActivity::Unknown, std::nullopt);
    // A server that ended the subscription for a while (timeout, deactivated) gets a new one at
    // once; a refusal or silence is tried again much later.
    const bool again
        = substate && (substate->reason == SIPEVENT_DEACTIVATED || substate->reason == SIPEVENT_TIMEOUT);
    tmr_start(&watched.retry, again ? kResubscribeMs : kRetryMs, OnRetry, &watched);
}

void DialogWatch::Report(Watched& watched, LineActivity activity, std::optional<RingingCall> ringing)
{
    if (watched.activity == activity && watched.ringing == ringing)
        return;
    watched.activity = activity;
    watched.ringing = ringing;
    SipEvent event;
    event.kind = SipEvent::Kind::Watched;
    event.line = m_line;
    event.number = watched.address;
    event.activity = activity;
    event.ringingCall = std::move(ringing);
    m_service.Post(std::move(event));
}

} // namespace tapi
