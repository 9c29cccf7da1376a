#include "sip_line.h"

#include "line_audio.h"
#include "sip_parse.h"

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <optional>
#include <string_view>
#include <utility>

// A SIP line on the stack's thread: its transport, registration and keep-alive, and its shutdown.

namespace tapi {

namespace {

constexpr std::uint64_t kRegisterAnswerMs = 4000; // no answer by then: out of service
constexpr std::uint64_t kKeepAliveMs = 25000; // keeps a NAT binding towards the registrar open
// How soon after a connection arrived its limits are checked, and how often after that while it
// has not spoken.
constexpr std::uint64_t kGuardConnectionsMs = 100;
// After credentials were refused, libre would try again and again; a provider may lock the
// account for that, so the line stops.
constexpr const char* kNotAgain = "; not registering again until the line is restarted";

// The host of a SIP URI when it is an IP address; names are not resolved for this.
std::optional<sa> HostAddress(const std::string& uri)
{
    pl text{};
    pl_set_str(&text, uri.c_str());
    struct uri decoded { };
    sa address{};
    if (uri.empty() || uri_decode(&decoded, &text) != 0 || sa_set(&address, &decoded.host, 0) != 0)
        return std::nullopt;
    return address;
}

std::vector<sa> PeerAddresses(const SipAccount& account)
{
    std::vector<sa> peers;
    for (const std::string& uri :
        { "sip:" + account.domain, account.registrar, account.outboundProxy, account.fallbackOutboundProxy })
        if (const auto address = HostAddress(uri))
            peers.push_back(*address);
    return peers;
}

std::vector<sa> AllowedAddresses(const SipAccount& account)
{
    std::vector<sa> allowed;
    const auto add = [&](const char* text) {
        sa address{};
        if (sa_set_str(&address, text, 0) == 0)
            allowed.push_back(address);
    };
    if (account.allowCallsFrom.empty()) {
        add("127.0.0.1"); // loopback: this computer
        add("::1");
    }
    for (const std::string& text : account.allowCallsFrom)
        add(text.c_str());
    return allowed;
}

bool Contains(const std::vector<sa>& addresses, const sa& source)
{
    return std::any_of(
        addresses.begin(), addresses.end(), [&](const sa& a) { return sa_cmp(&a, &source, SA_ADDR); });
}

} // namespace

std::string StatusText(const sip_msg& msg)
{
    return std::to_string(msg.scode) + " " + std::string(msg.reason.p ? msg.reason.p : "", msg.reason.l);
}

SipLine::SipLine(SipService& service, const SipService::LineSetup& setup, dnsc* dns)
    : m_service(service)
    , m_lineId(setup.line)
    , m_name(setup.name)
    , m_account(setup.account)
    , m_audio(setup.audio)
    , m_peers(PeerAddresses(setup.account))
    , m_allowed(AllowedAddresses(setup.account))
{
    tmr_init(&m_registerSilence);
    tmr_init(&m_stopRegistering);
    tmr_init(&m_keepAlive);
    tmr_init(&m_collect);
    tmr_init(&m_handOverWait);
    tmr_init(&m_guardConnections);
    std::string error;
    if (sip_alloc(&m_sip, dns, 32, 32, 32, "Kestrium", nullptr, this) != 0 || !Start(error)) {
        std::cerr << "kestrium telephony: " << m_name << ": " << error << std::endl;
        ReportRegistration(false, error);
    }
}

SipLine::~SipLine()
{
    tmr_cancel(&m_registerSilence);
    tmr_cancel(&m_stopRegistering);
    tmr_cancel(&m_keepAlive);
    tmr_cancel(&m_collect);
    tmr_cancel(&m_handOverWait);
    tmr_cancel(&m_guardConnections);
    m_calls.clear();
    m_ended.clear();
    m_reports.clear();
    m_handedOver.clear();
    m_watch.reset();
    mem_deref(m_registration);
    mem_deref(m_requests);
    // An ended session may linger in libre (a 200 OK repeated until its ACK, up to 32 s), holding
    // the stack and its socket: the next stack could not listen on the same local port. They go now.
    sipsess_close_all(m_sessions);
    mem_deref(m_sessions);
    if (m_sip)
        sip_close(m_sip, true);
    mem_deref(m_sip);
    mem_deref(m_tls);
    std::fill(m_password.begin(), m_password.end(), '\0');
}

bool SipLine::Start(std::string& error)
{
    const std::string& address = m_account.localAddress;
    if (!address.empty()) {
        if (sa_set_str(&m_local, address.c_str(), 0) != 0) {
            error = "local-address " + address + " is not an IP address";
            return false;
        }
    } else if (net_default_source_addr_get(AF_INET, &m_local) != 0 || !sa_isset(&m_local, SA_ADDR)) {
        sa_set_str(&m_local, "127.0.0.1", 0);
    }
    sa_set_port(&m_local, static_cast<std::uint16_t>(m_account.localPort));
    int err = 0;
    switch (m_account.transport) {
    case SipTransport::Udp:
        err = sip_transp_add(m_sip, SIP_TRANSP_UDP, &m_local);
        break;
    case SipTransport::Tcp:
        err = sip_transp_add(m_sip, SIP_TRANSP_TCP, &m_local);
        break;
    case SipTransport::Tls:
        if (!StartTls(error))
            return false;
        err = sip_transp_add(m_sip, SIP_TRANSP_TLS, &m_local, m_tls);
        break;
    }
    if (err) {
        error
            = "cannot listen for SIP on port " + std::to_string(m_account.localPort) + ": " + ErrorText(err);
        return false;
    }
    sip_set_trace_handler(m_sip, OnTrace);
    if (m_account.transport != SipTransport::Udp)
        GuardConnections(m_account.transport == SipTransport::Tcp ? SIP_TRANSP_TCP : SIP_TRANSP_TLS);
    if ((err = sipsess_listen(&m_sessions, m_sip, 32, OnIncoming, this)) != 0
        || (err = sip_listen(&m_requests, m_sip, true, OnRequest, this)) != 0) {
        error = "cannot take calls: " + ErrorText(err);
        return false;
    }
    if (!m_account.registers) {
        // Without registration the password still answers a challenge to our calls and requests.
        if (std::string problem; !ReadPassword(problem))
            std::cerr << "kestrium telephony: " << m_name << ": " << problem << std::endl;
        ReportRegistration(true, "registration off");
        return true;
    }
    Register();
    return true;
}

bool SipLine::ReadPassword(std::string& error)
{
    return ReadSipPassword(m_account.passwordFile, m_password, error) || error.rfind("there is no", 0) == 0;
}

void SipLine::GuardConnections(sip_transp transport)
{
    sa listening{};
    if (sip_transp_laddr(m_sip, &listening, transport, nullptr) != 0)
        return;
    m_connections = std::make_unique<ConnectionGuard>(listening);
    m_arrivals = std::make_unique<ConnectionAlarm>(listening, OnConnectionArrived, this);
    if (!m_arrivals->Armed())
        std::cerr << "kestrium telephony: " << m_name
                  << ": cannot watch for new SIP connections; they are looked for every "
                  << kGuardConnectionsMs << " ms" << std::endl;
    OnConnectionArrived(this); // one check at the start: a connection may have come before the watch
}

void SipLine::OnConnectionArrived(void* arg)
{
    // libre accepts the connection in this same turn of its loop; the check follows a little later.
    auto* self = static_cast<SipLine*>(arg);
    if (!tmr_isrunning(&self->m_guardConnections))
        tmr_start(&self->m_guardConnections, kGuardConnectionsMs, OnGuardConnections, self);
}

void SipLine::OnTrace(bool sent, sip_transp transport, const sa* source, const sa*,
    const std::uint8_t* packet, std::size_t length, void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (!sent && transport != SIP_TRANSP_UDP && self->m_connections && source)
        self->m_connections->MessageFrom(*source);
    if (!sent && packet)
        self->TakeResponse(packet, length);
    // Refreshes too: libre would wait for a whole transaction time-out (32 s) before it says so.
    constexpr std::string_view kRegister = "REGISTER ";
    if (sent && packet && length > kRegister.size()
        && std::string_view(reinterpret_cast<const char*>(packet), kRegister.size()) == kRegister)
        self->AwaitRegistrar();
}

bool SipLine::OnRequest(const sip_msg* msg, void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (pl_strcmp(&msg->met, "NOTIFY") == 0)
        return self->TakeTransferReport(*msg);
    if (pl_strcmp(&msg->met, "OPTIONS") != 0)
        return false;
    // A PBX asks whether the phone is there; strangers (scanners looking for phones) learn nothing.
    if (!self->TakesCallsFrom(msg->src))
        sip_treply(nullptr, self->m_sip, msg, 403, "Forbidden");
    else
        sip_treplyf(nullptr, nullptr, self->m_sip, msg, false, 200, "OK",
            "Allow: %s\r\nAccept: application/sdp\r\nSupported: replaces\r\nContent-Length: 0\r\n\r\n",
            kAllowedMethods);
    return true;
}

void SipLine::OnGuardConnections(void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    self->m_connections->Check(MediaClockMs());
    // Checked again while a connection has still to send its first message (or be shut down);
    // then the line sleeps until the next one arrives.
    if (self->m_connections->Unsettled() || !self->m_arrivals->Armed())
        tmr_start(&self->m_guardConnections, kGuardConnectionsMs, OnGuardConnections, self);
}

const std::string& SipLine::Proxy() const
{
    return m_onFallbackProxy ? m_account.fallbackOutboundProxy : m_account.outboundProxy;
}

std::vector<std::string> SipLine::Routes() const
{
    if (Proxy().empty())
        return {};
    // libre writes each route as <URI;lr>: a ;lr of the configured URI is taken off, so it appears once.
    std::string route = Proxy();
    for (auto at = route.find(";lr"); at != std::string::npos; at = route.find(";lr", at)) {
        const std::size_t end = at + 3;
        if (end == route.size() || route[end] == ';' || route[end] == '?')
            route.erase(at, 3);
        else
            at = end;
    }
    return { route };
}

bool SipLine::TakesCallsFrom(const sa& source) const
{
    return IsTrustedProxy(source) || (!m_account.registers && Contains(m_allowed, source));
}

bool SipLine::IsTrustedProxy(const sa& source) const
{
    const bool fromRegistrar
        = m_account.registers && sa_isset(&m_registrar, SA_ADDR) && sa_cmp(&source, &m_registrar, SA_ADDR);
    return fromRegistrar || Contains(m_peers, source);
}

void SipLine::Register()
{
    std::string error;
    if (!ReadPassword(error)) {
        std::cerr << "kestrium telephony: " << m_name << ": " << error << std::endl;
        ReportRegistration(false, error);
        return; // a password others can read is not sent anywhere
    }
    const std::string registrar
        = (m_account.registrar.empty() ? "sip:" + m_account.domain : m_account.registrar)
        + (m_account.registrar.find(";transport=") == std::string::npos ? TransportParam(m_account) : "");
    const std::string aor = FromUri();
    const auto routes = Routes();
    const char* route = routes.empty() ? nullptr : routes.front().c_str();
    const char* displayName = m_account.displayName.empty() ? nullptr : m_account.displayName.c_str();
    const int err = sipreg_register(&m_registration, m_sip, registrar.c_str(), aor.c_str(), displayName,
        aor.c_str(), m_account.registerIntervalS, m_account.user.c_str(), route ? &route : nullptr,
        route ? 1 : 0, 0, OnRegisterAuth, this, false, OnRegistered, this, nullptr, "%s", "");
    if (err) {
        ReportRegistration(false, "cannot register with " + registrar + ": " + ErrorText(err));
        return;
    }
    ReportRegistration(
        false, "registering with " + registrar + (m_onFallbackProxy ? " through " + Proxy() : ""));
    AwaitRegistrar();
}

void SipLine::AwaitRegistrar()
{
    if (m_registration && !tmr_isrunning(&m_registerSilence))
        tmr_start(&m_registerSilence, kRegisterAnswerMs, OnRegisterSilence, this);
}

void SipLine::ReportRegistration(bool registered, const std::string& text)
{
    if (registered == m_registered && text == m_registrationText)
        return;
    m_registered = registered;
    m_registrationText = text;
    SipEvent event;
    event.kind = SipEvent::Kind::Registration;
    event.line = m_lineId;
    event.registered = registered;
    event.text = text;
    m_service.Post(std::move(event));
}

int SipLine::OnAuth(char** user, char** password, const char*, void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (self->m_password.empty())
        return EACCES;
    const std::string& authUser
        = self->m_account.authUser.empty() ? self->m_account.user : self->m_account.authUser;
    const int err = str_dup(user, authUser.c_str());
    return err ? err : str_dup(password, self->m_password.c_str());
}

int SipLine::OnRegisterAuth(char** user, char** password, const char* realm, void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (self->m_challengeAnswered)
        return EACCES; // challenged again: the password was refused
    const int err = OnAuth(user, password, realm, arg);
    self->m_challengeAnswered = err == 0;
    return err;
}

void SipLine::OnRegistered(int err, const sip_msg* msg, void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (!err && msg && msg->scode < 200)
        return;
    tmr_cancel(&self->m_registerSilence);
    const bool credentialsSent = self->m_challengeAnswered;
    self->m_challengeAnswered = false;
    if (msg && msg->scode == 403) {
        // A refusal, not a challenge: a wrong route, realm or account, or (for some servers) the
        // password. Its reason phrase is what tells the user which.
        self->ReportRegistration(
            false, "the registrar refused: " + StatusText(*msg) + (credentialsSent ? kNotAgain : ""));
        if (credentialsSent)
            tmr_start(&self->m_stopRegistering, 0, OnStopRegistering, self);
    } else if (credentialsSent && msg && (msg->scode == 401 || msg->scode == 407)) {
        // Challenged again after our answer: the password was refused.
        self->ReportRegistration(
            false, "the registrar refused the password (" + StatusText(*msg) + ")" + kNotAgain);
        tmr_start(&self->m_stopRegistering, 0, OnStopRegistering, self);
    } else if (!msg || (err && msg->scode < 300)) {
        self->ReportFailure("registration failed: " + ErrorText(err));
        // With two proxies the other one is tried after the same wait as for silence, so two that
        // both refuse connections are not tried in a tight loop.
        if (!self->m_account.fallbackOutboundProxy.empty())
            tmr_start(&self->m_registerSilence, kRegisterAnswerMs, OnRegisterSilence, self);
    } else if (msg->scode < 300) {
        self->m_registrar = msg->src;
        self->m_certificateError.clear();
        self->ReportRegistration(true, "registered");
        if (self->m_account.transport == SipTransport::Udp)
            tmr_start(&self->m_keepAlive, kKeepAliveMs, OnKeepAlive, self);
    } else {
        const bool noPassword = self->m_password.empty() && (msg->scode == 401 || msg->scode == 407);
        self->ReportRegistration(
            false, "the registrar answered " + StatusText(*msg) + (noPassword ? " (no password file)" : ""));
    }
}

void SipLine::OnStopRegistering(void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    tmr_cancel(&self->m_registerSilence);
    mem_deref(std::exchange(self->m_registration, nullptr)); // an un-REGISTER is not awaited
}

void SipLine::OnRegisterSilence(void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (!self->SwitchProxy())
        self->ReportFailure("no answer from the registrar");
}

bool SipLine::SwitchProxy()
{
    if (m_account.fallbackOutboundProxy.empty() || !m_registration)
        return false;
    const std::string silent = Proxy();
    tmr_cancel(&m_registerSilence);
    tmr_cancel(&m_keepAlive);
    m_challengeAnswered = false;
    // The old registration's un-REGISTER, if any, follows the old route to the proxy that is gone,
    // so it cannot remove the binding made through the other one.
    mem_deref(std::exchange(m_registration, nullptr));
    m_onFallbackProxy = !m_onFallbackProxy;
    std::cerr << "kestrium telephony: " << m_name << ": no answer from the outbound proxy " << silent
              << "; registering through " << Proxy() << std::endl;
    Register();
    return true;
}

void SipLine::ReportFailure(const std::string& reason)
{
    if (m_certificateError.empty()) {
        ReportRegistration(false, reason);
        return;
    }
    tmr_cancel(&m_registerSilence);
    ReportRegistration(false, "the server's TLS certificate was refused: " + m_certificateError);
}

void SipLine::OnKeepAlive(void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    // A blank line keeps the NAT binding of the SIP port open (RFC 5626 keep-alive).
    if (mbuf* ping = mbuf_alloc(4)) {
        mbuf_write_str(ping, "\r\n\r\n");
        ping->pos = 0;
        sip_send(self->m_sip, nullptr, SIP_TRANSP_UDP, &self->m_registrar, ping);
        mem_deref(ping);
    }
    tmr_start(&self->m_keepAlive, kKeepAliveMs, OnKeepAlive, self);
}

void SipLine::Shutdown()
{
    m_arrivals.reset();
    tmr_cancel(&m_guardConnections);
    tmr_cancel(&m_registerSilence);
    tmr_cancel(&m_stopRegistering);
    tmr_cancel(&m_keepAlive);
    m_calls.clear();
    if (m_watch)
        m_watch->Shutdown(); // SUBSCRIBE with Expires: 0 for each
    m_registration = static_cast<sipreg*>(mem_deref(m_registration)); // un-REGISTER
}

void SipLine::Watch(const std::vector<std::string>& addresses)
{
    if (!m_sip)
        return; // the line could not start; its watched lines stay unknown
    if (!m_watch)
        m_watch = std::make_unique<DialogWatch>(
            m_service, m_lineId, m_sip, m_account, Routes(), SipCredentials{ OnAuth, this });
    m_watch->SetAddresses(addresses);
}

} // namespace tapi
