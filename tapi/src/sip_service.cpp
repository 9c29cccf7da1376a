#include "sip_service.h"

#define USE_OPENSSL 1 // libre declares tls_openssl_context only then
#include "libre.h"
#include "line_audio.h"
#include "sip_media.h"
#include "sip_parse.h"

#include "platform/regular_file.h"

#include <arpa/inet.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <map>

// The SIP lines: one thread runs libre's loop with a SIP stack per line (transport, registration,
// one call at a time). Everything in this file below SipService's public methods runs on that
// thread; the exchange only queues commands and takes events.

namespace tapi {

namespace {

constexpr std::uint64_t kRegisterAnswerMs = 4000; // no answer by then: out of service
constexpr std::uint64_t kKeepAliveMs = 25000; // keeps a NAT binding towards the registrar open
constexpr std::uint64_t kWatchMs = 1000;
constexpr std::uint64_t kStopGraceMs = 300; // for BYE, CANCEL and un-REGISTER to leave
constexpr std::uint64_t kIncomingCall = std::uint64_t(1) << 63;
constexpr std::size_t kMaxPasswordBytes = 4096;
constexpr const char* kExtraHeaders = "Allow: INVITE, ACK, BYE, CANCEL, OPTIONS\r\n";

// OpenSSL (under libre) cleans up in an exit handler; the SIP thread must be gone before that
// runs, so the running service is stopped by an exit handler registered after libre started.
std::mutex g_runningMutex;
SipService* g_running = nullptr;

void StopAtExit()
{
    std::lock_guard lock(g_runningMutex);
    if (g_running)
        g_running->StopThread();
}

int StartLibre()
{
    const int err = libre_init();
    if (!err)
        std::atexit(StopAtExit);
    return err;
}

std::string ErrorText(int err)
{
    return std::strerror(err);
}

// The host a TLS connection of the account must prove to be: the outbound proxy's when there is
// one (every request goes through it), else the registrar's; without the port. Empty when the
// URI does not decode.
std::string TlsServerHost(const SipAccount& account)
{
    const std::string uri = !account.outboundProxy.empty() ? account.outboundProxy
        : !account.registrar.empty()                        ? account.registrar
                                                            : "sip:" + account.domain;
    pl text{};
    pl_set_str(&text, uri.c_str());
    struct uri decoded {};
    if (uri_decode(&decoded, &text) != 0)
        return {};
    return std::string(decoded.host.p, decoded.host.l);
}

// Where a TLS context keeps its SIP line, for the certificate check.
int TlsLineIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

bool IsIpAddress(const std::string& host)
{
    in6_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1 || ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

std::string StatusText(const sip_msg& msg)
{
    return std::to_string(msg.scode) + " " + std::string(msg.reason.p ? msg.reason.p : "", msg.reason.l);
}

} // namespace

bool ReadSipPassword(const std::string& path, std::string& password, std::string& error)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & (S_IRWXG | S_IRWXO))) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
        error = "the password file " + path + " can be read by others (mode " + mode
            + "); make it private with: chmod 600 '" + path + "'";
        return false;
    }
    std::string text;
    switch (platform::ReadRegularFile(path, kMaxPasswordBytes, text, error)) {
    case platform::FileRead::Missing:
        error = "there is no password file " + path;
        return false;
    case platform::FileRead::Refused:
        error = "the password file " + path + " " + error;
        return false;
    case platform::FileRead::Read:
        break;
    }
    password = text.substr(0, text.find_first_of("\r\n"));
    return true;
}

class SipLine;

// One call of a SIP line: its session, its offer/answer and its media.
struct SipCall {
    SipLine* line = nullptr;
    std::uint64_t id = 0;
    bool incoming = false;
    bool established = false; // outgoing: answered; incoming: our answer went out
    bool remoteOffered = false;
    sipsess* session = nullptr;
    sdp_session* sdp = nullptr;
    sdp_media* sdpMedia = nullptr;
    std::shared_ptr<SipMedia> media;
    tmr watch{};

    ~SipCall();
};

// One SIP line on the stack's thread.
class SipLine {
public:
    SipLine(SipService& service, const SipService::LineSetup& setup, dnsc* dns);
    ~SipLine();
    SipLine(const SipLine&) = delete;
    SipLine& operator=(const SipLine&) = delete;

    void Dial(std::uint64_t id, const std::string& target);
    void Answer(std::uint64_t id);
    void Hangup(std::uint64_t id);
    // Lets BYE, CANCEL and un-REGISTER go out before the stack closes.
    void Shutdown();

private:
    static int OnAuth(char** user, char** password, const char* realm, void* arg);
    static void OnRegistered(int err, const sip_msg* msg, void* arg);
    static void OnRegisterSilence(void* arg);
    static int OnVerify(int ok, X509_STORE_CTX* store);
    static void OnKeepAlive(void* arg);
    static void OnIncoming(const sip_msg* msg, void* arg);
    static int OnOffer(mbuf** description, const sip_msg* msg, void* arg);
    static int OnAnswer(const sip_msg* msg, void* arg);
    static void OnProgress(const sip_msg* msg, void* arg);
    static void OnEstablished(const sip_msg* msg, void* arg);
    static void OnClosed(int err, const sip_msg* msg, void* arg);
    static void OnWatch(void* arg);
    static void OnCollect(void* arg);

    bool Start(std::string& error);
    bool StartTls(std::string& error);
    void Register();
    void ReportRegistration(bool registered, const std::string& text);
    // Why the registration failed: the refused certificate when there was one, else `reason`.
    void ReportFailure(const std::string& reason);
    std::unique_ptr<SipCall> NewCall(std::uint64_t id, bool incoming, std::string& error);
    int TakeRemoteDescription(SipCall& call, mbuf* body, bool offer);
    void Connect(SipCall& call);
    void EndCall(SipCall& call, SipEvent event);
    SipCall* Find(std::uint64_t id) { return m_call && m_call->id == id ? m_call.get() : nullptr; }
    std::string FromUri() const { return "sip:" + m_account.user + "@" + m_account.domain; }
    std::vector<std::string> Routes() const;

    SipService& m_service;
    DWORD m_lineId;
    std::string m_name;
    SipAccount m_account;
    std::string m_password;
    std::shared_ptr<LineAudio> m_audio;
    sa m_local{};
    sip* m_sip = nullptr;
    tls* m_tls = nullptr;
    sipsess_sock* m_sessions = nullptr;
    sipreg* m_registration = nullptr;
    tmr m_registerSilence{};
    tmr m_keepAlive{};
    tmr m_collect{};
    sa m_registrar{};
    std::string m_registrationText;
    std::string m_certificateError; // why OpenSSL refused the server's certificate last
    bool m_registered = false;
    std::unique_ptr<SipCall> m_call;
    std::vector<std::unique_ptr<SipCall>> m_ended; // freed by m_collect, outside libre's handlers
    std::uint64_t m_nextIncoming = 0;
};

SipCall::~SipCall()
{
    tmr_cancel(&watch);
    if (media)
        media->Close();
    mem_deref(session); // sends CANCEL, BYE or 486 Busy Here as the session stands
    mem_deref(sdp);
}

/* ---- the line's stack ------------------------------------------------------------------- */

SipLine::SipLine(SipService& service, const SipService::LineSetup& setup, dnsc* dns)
    : m_service(service)
    , m_lineId(setup.line)
    , m_name(setup.name)
    , m_account(setup.account)
    , m_audio(setup.audio)
{
    tmr_init(&m_registerSilence);
    tmr_init(&m_keepAlive);
    tmr_init(&m_collect);
    std::string error;
    if (sip_alloc(&m_sip, dns, 32, 32, 32, "Kestrium", nullptr, nullptr) != 0 || !Start(error)) {
        std::cerr << "kestrium telephony: " << m_name << ": " << error << std::endl;
        ReportRegistration(false, error);
    }
}

SipLine::~SipLine()
{
    tmr_cancel(&m_registerSilence);
    tmr_cancel(&m_keepAlive);
    tmr_cancel(&m_collect);
    if (m_call)
        m_audio->SetLink(nullptr);
    m_call.reset();
    m_ended.clear();
    mem_deref(m_registration);
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
        error = "cannot listen for SIP on port " + std::to_string(m_account.localPort) + ": " + ErrorText(err);
        return false;
    }
    if ((err = sipsess_listen(&m_sessions, m_sip, 32, OnIncoming, this)) != 0) {
        error = "cannot take calls: " + ErrorText(err);
        return false;
    }
    if (!m_account.registers) {
        ReportRegistration(true, "registration off");
        return true;
    }
    Register();
    return true;
}

// OpenSSL checks the server's certificate chain against the system's CA list and the account's
// ca-file, and that it names the server's host; a handshake that does not verify fails, so
// nothing is sent to a server that cannot prove who it is.
bool SipLine::StartTls(std::string& error)
{
    if (const int err = tls_alloc(&m_tls, TLS_METHOD_SSLV23, nullptr, nullptr)) {
        error = "cannot set up TLS: " + ErrorText(err);
        return false;
    }
    SSL_CTX* context = tls_openssl_context(m_tls);
    const std::string host = TlsServerHost(m_account);
    if (!context || host.empty()) {
        error = "cannot set up TLS: no server host to check certificates against";
        return false;
    }
    if (SSL_CTX_set_default_verify_paths(context) != 1) {
        error = "cannot load the system's list of certificate authorities";
        return false;
    }
    const std::string& caFile = m_account.caFile;
    if (!caFile.empty() && SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr) != 1) {
        error = "the ca-file " + caFile + " holds no PEM certificate that can be read";
        return false;
    }
    if (SSL_CTX_set_ex_data(context, TlsLineIndex(), this) != 1) {
        error = "cannot set up TLS";
        return false;
    }
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, OnVerify);
    X509_VERIFY_PARAM* verify = SSL_CTX_get0_param(context);
    const int named = IsIpAddress(host) ? X509_VERIFY_PARAM_set1_ip_asc(verify, host.c_str())
                                        : X509_VERIFY_PARAM_set1_host(verify, host.c_str(), host.size());
    if (named != 1) {
        error = "cannot check TLS certificates for the host " + host;
        return false;
    }
    return true;
}

// Keeps OpenSSL's verdict on each certificate of the chain and notes why one was refused, so the
// line's state can say it.
int SipLine::OnVerify(int ok, X509_STORE_CTX* store)
{
    if (ok)
        return ok;
    const auto* ssl = static_cast<const SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = ssl ? static_cast<SipLine*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), TlsLineIndex())) : nullptr;
    if (self) {
        self->m_certificateError = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
        self->ReportFailure({});
    }
    return ok;
}

std::vector<std::string> SipLine::Routes() const
{
    if (m_account.outboundProxy.empty())
        return {};
    std::string route = m_account.outboundProxy;
    if (route.find(";lr") == std::string::npos)
        route += ";lr";
    return { route };
}

void SipLine::Register()
{
    std::string error;
    if (!ReadSipPassword(m_account.passwordFile, m_password, error) && error.rfind("there is no", 0) != 0) {
        std::cerr << "kestrium telephony: " << m_name << ": " << error << std::endl;
        ReportRegistration(false, error);
        return; // a password others can read is not sent anywhere
    }
    const std::string registrar = (m_account.registrar.empty() ? "sip:" + m_account.domain : m_account.registrar)
        + (m_account.registrar.find(";transport=") == std::string::npos ? TransportParam(m_account) : "");
    const std::string aor = FromUri();
    const auto routes = Routes();
    const char* route = routes.empty() ? nullptr : routes.front().c_str();
    const char* displayName = m_account.displayName.empty() ? nullptr : m_account.displayName.c_str();
    const int err = sipreg_register(&m_registration, m_sip, registrar.c_str(), aor.c_str(), displayName,
        aor.c_str(), m_account.registerIntervalS, m_account.user.c_str(), route ? &route : nullptr,
        route ? 1 : 0, 0, OnAuth, this, false, OnRegistered, this, nullptr, "%s", "");
    if (err) {
        ReportRegistration(false, "cannot register with " + registrar + ": " + ErrorText(err));
        return;
    }
    ReportRegistration(false, "registering with " + registrar);
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
    const std::string& authUser = self->m_account.authUser.empty() ? self->m_account.user : self->m_account.authUser;
    const int err = str_dup(user, authUser.c_str());
    return err ? err : str_dup(password, self->m_password.c_str());
}

void SipLine::OnRegistered(int err, const sip_msg* msg, void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (!err && msg && msg->scode < 200)
        return;
    tmr_cancel(&self->m_registerSilence);
    if (!msg || (err && msg->scode < 300)) {
        self->ReportFailure("registration failed: " + ErrorText(err));
    } else if (msg->scode < 300) {
        self->m_registrar = msg->src;
        self->m_certificateError.clear();
        self->ReportRegistration(true, "registered");
        if (self->m_account.transport == SipTransport::Udp)
            tmr_start(&self->m_keepAlive, kKeepAliveMs, OnKeepAlive, self);
    } else {
        const bool noPassword = self->m_password.empty() && (msg->scode == 401 || msg->scode == 407);
        self->ReportRegistration(false,
            "the registrar answered " + StatusText(*msg) + (noPassword ? " (no password file)" : ""));
    }
}

void SipLine::OnRegisterSilence(void* arg)
{
    static_cast<SipLine*>(arg)->ReportFailure("no answer from the registrar");
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
    tmr_cancel(&m_registerSilence);
    tmr_cancel(&m_keepAlive);
    if (m_call)
        m_audio->SetLink(nullptr);
    m_call.reset();
    m_registration = static_cast<sipreg*>(mem_deref(m_registration)); // un-REGISTER
}

/* ---- calls ------------------------------------------------------------------------------ */

std::unique_ptr<SipCall> SipLine::NewCall(std::uint64_t id, bool incoming, std::string& error)
{
    auto call = std::make_unique<SipCall>();
    call->line = this;
    call->id = id;
    call->incoming = incoming;
    tmr_init(&call->watch);
    call->media = SipMedia::Open(m_local, error);
    if (!call->media)
        return nullptr;
    sa media = m_local;
    sa_set_port(&media, 0);
    int err = sdp_session_alloc(&call->sdp, &media);
    if (!err)
        err = sdp_media_add(&call->sdpMedia, call->sdp, sdp_media_audio, call->media->LocalPort(), sdp_proto_rtpavp);
    if (!err)
        err = sdp_format_add(nullptr, call->sdpMedia, false, "0", "PCMU", 8000, 1, nullptr, nullptr, nullptr,
            false, nullptr);
    if (!err)
        err = sdp_format_add(nullptr, call->sdpMedia, false, "8", "PCMA", 8000, 1, nullptr, nullptr, nullptr,
            false, nullptr);
    if (!err)
        err = sdp_format_add(nullptr, call->sdpMedia, false, "101", telev_rtpfmt, 8000, 1, nullptr, nullptr,
            nullptr, false, "0-15");
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
    return 0;
}

void SipLine::Connect(SipCall& call)
{
    call.established = true;
    m_audio->SetLink(call.media);
    tmr_start(&call.watch, kWatchMs, OnWatch, &call);
    SipEvent event;
    event.kind = SipEvent::Kind::Answered;
    event.line = m_lineId;
    event.call = call.id;
    m_service.Post(std::move(event));
}

void SipLine::EndCall(SipCall& call, SipEvent event)
{
    event.line = m_lineId;
    event.call = call.id;
    m_service.Post(std::move(event));
    if (m_call.get() != &call)
        return;
    m_audio->SetLink(nullptr);
    // libre is still inside one of this session's handlers: free it once they returned.
    m_ended.push_back(std::move(m_call));
    tmr_start(&m_collect, 0, OnCollect, this);
}

void SipLine::OnCollect(void* arg)
{
    static_cast<SipLine*>(arg)->m_ended.clear();
}

void SipLine::Dial(std::uint64_t id, const std::string& target)
{
    SipEvent failed;
    failed.kind = SipEvent::Kind::Failed;
    failed.line = m_lineId;
    failed.call = id;
    if (m_call || !m_sessions) {
        failed.text = m_sessions ? "the line has a call" : m_registrationText;
        m_service.Post(std::move(failed));
        return;
    }
    std::string error;
    auto call = NewCall(id, false, error);
    mbuf* offer = nullptr;
    int err = call ? sdp_encode(&offer, call->sdp, true) : 0;
    if (call && !err) {
        const auto routes = Routes();
        const char* route = routes.empty() ? nullptr : routes.front().c_str();
        const std::string from = FromUri();
        err = sipsess_connect(&call->session, m_sessions, target.c_str(),
            m_account.displayName.empty() ? nullptr : m_account.displayName.c_str(), from.c_str(),
            m_account.user.c_str(), route ? &route : nullptr, route ? 1 : 0, "application/sdp", offer, OnAuth,
            this, false, OnOffer, OnAnswer, OnProgress, OnEstablished, nullptr, nullptr, OnClosed, call.get(),
            "%s", kExtraHeaders);
        error = err ? "cannot call " + target + ": " + ErrorText(err) : "";
    }
    mem_deref(offer);
    if (!call || err) {
        failed.text = error;
        m_service.Post(std::move(failed));
        return;
    }
    m_call = std::move(call);
}

void SipLine::OnIncoming(const sip_msg* msg, void* arg)
{
    auto* self = static_cast<SipLine*>(arg);
    if (self->m_call) {
        sip_treply(nullptr, self->m_sip, msg, 486, "Busy Here");
        return;
    }
    std::string error;
    auto call = self->NewCall(kIncomingCall | ++self->m_nextIncoming, true, error);
    if (!call) {
        sip_treply(nullptr, self->m_sip, msg, 500, "Server Internal Error");
        return;
    }
    // An INVITE without an offer gets ours in the 200 and the answer in the ACK.
    if (mbuf_get_left(msg->mb) && self->TakeRemoteDescription(*call, msg->mb, true) != 0) {
        sip_treply(nullptr, self->m_sip, msg, 488, "Not Acceptable Here");
        return;
    }
    const int err = sipsess_accept(&call->session, self->m_sessions, msg, 180, "Ringing",
        self->m_account.user.c_str(), "application/sdp", nullptr, OnAuth, self, false, OnOffer, OnAnswer,
        OnEstablished, nullptr, nullptr, OnClosed, call.get(), "%s", kExtraHeaders);
    if (err) {
        sip_treply(nullptr, self->m_sip, msg, 500, "Server Internal Error");
        return;
    }
    const SipCaller caller = CallerOf(*msg);
    SipEvent event;
    event.kind = SipEvent::Kind::Incoming;
    event.line = self->m_lineId;
    event.call = call->id;
    event.number = caller.number;
    event.name = caller.name;
    event.blocked = caller.blocked;
    self->m_call = std::move(call);
    self->m_service.Post(std::move(event));
}

void SipLine::Answer(std::uint64_t id)
{
    SipCall* call = Find(id);
    if (!call || !call->incoming || call->established)
        return;
    mbuf* description = nullptr;
    int err = sdp_encode(&description, call->sdp, !call->remoteOffered);
    if (!err)
        err = sipsess_answer(call->session, 200, "OK", description, "%s", kExtraHeaders);
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
    if (!Find(id))
        return;
    m_audio->SetLink(nullptr);
    m_call.reset(); // CANCEL, BYE or 486 Busy Here, as the session stands
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
}

void SipLine::OnEstablished(const sip_msg*, void* arg)
{
    auto* call = static_cast<SipCall*>(arg);
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

/* ---- the thread ------------------------------------------------------------------------- */

class SipService::Stack {
public:
    Stack(SipService& service, const std::vector<LineSetup>& setups)
    {
        sa servers[4];
        std::uint32_t count = 4;
        char domain[256] = "";
        if (dns_srv_get(domain, sizeof domain, servers, &count) != 0)
            count = 0;
        dnsc_alloc(&m_dns, nullptr, servers, count);
        for (const auto& setup : setups)
            m_lines.emplace(setup.line, std::make_unique<SipLine>(service, setup, m_dns));
        tmr_init(&m_stop);
    }
    ~Stack()
    {
        tmr_cancel(&m_stop);
        m_lines.clear();
        mem_deref(m_dns);
    }

    SipLine* Line(DWORD line)
    {
        auto it = m_lines.find(line);
        return it == m_lines.end() ? nullptr : it->second.get();
    }
    std::map<DWORD, std::unique_ptr<SipLine>>& Lines() { return m_lines; }

    void Stop()
    {
        for (auto& [id, line] : m_lines)
            line->Shutdown();
        tmr_start(&m_stop, kStopGraceMs, [](void*) { re_cancel(); }, nullptr);
    }

private:
    dnsc* m_dns = nullptr;
    std::map<DWORD, std::unique_ptr<SipLine>> m_lines;
    tmr m_stop{};
};

SipService::SipService(std::vector<LineSetup> lines)
{
    m_thread = std::thread([this, lines = std::move(lines)]() mutable { ThreadMain(std::move(lines)); });
    std::lock_guard lock(g_runningMutex);
    g_running = this;
}

SipService::~SipService()
{
    StopThread();
    std::lock_guard lock(g_runningMutex);
    if (g_running == this)
        g_running = nullptr;
}

void SipService::StopThread()
{
    std::lock_guard lock(m_joinMutex);
    if (!m_thread.joinable())
        return;
    Push(Command{ Command::Kind::Stop, 0, 0, {} });
    m_thread.join();
}

void SipService::Push(Command command)
{
    std::lock_guard lock(m_mutex);
    m_commands.push_back(std::move(command));
    if (m_wake)
        mqueue_push(m_wake, 0, nullptr);
}

void SipService::Dial(DWORD line, std::uint64_t call, const std::string& target)
{
    Push(Command{ Command::Kind::Dial, line, call, target });
}

void SipService::Answer(std::uint64_t call)
{
    Push(Command{ Command::Kind::Answer, 0, call, {} });
}

void SipService::Hangup(std::uint64_t call)
{
    Push(Command{ Command::Kind::Hangup, 0, call, {} });
}

void SipService::Post(SipEvent event)
{
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
}

std::vector<SipEvent> SipService::TakeEvents()
{
    std::lock_guard lock(m_mutex);
    std::vector<SipEvent> events(std::make_move_iterator(m_events.begin()), std::make_move_iterator(m_events.end()));
    m_events.clear();
    return events;
}

void SipService::OnWake(int, void*, void* arg)
{
    static_cast<SipService*>(arg)->RunCommands();
}

void SipService::RunCommands()
{
    for (;;) {
        Command command;
        {
            std::lock_guard lock(m_mutex);
            if (m_commands.empty())
                return;
            command = std::move(m_commands.front());
            m_commands.pop_front();
        }
        switch (command.kind) {
        case Command::Kind::Stop:
            m_stack->Stop();
            return;
        case Command::Kind::Dial:
            if (SipLine* line = m_stack->Line(command.line))
                line->Dial(command.call, command.target);
            break;
        case Command::Kind::Answer:
            // Each line has at most one call, so asking every line is cheap.
            for (auto& [id, line] : m_stack->Lines())
                line->Answer(command.call);
            break;
        case Command::Kind::Hangup:
            for (auto& [id, line] : m_stack->Lines())
                line->Hangup(command.call);
            break;
        }
    }
}

void SipService::ThreadMain(std::vector<LineSetup> lines)
{
    // libre's process-wide parts (sockets, random numbers, TLS) are set up once and kept.
    static const int initError = StartLibre();
    if (initError) {
        std::cerr << "kestrium telephony: the SIP lines cannot start: " << ErrorText(initError) << std::endl;
        return;
    }
    mqueue* wake = nullptr;
    if (mqueue_alloc(&wake, OnWake, this) == 0) {
        m_stack = std::make_unique<Stack>(*this, lines);
        {
            std::lock_guard lock(m_mutex);
            m_wake = wake;
        }
        RunCommands();
        re_main(nullptr);
        {
            std::lock_guard lock(m_mutex);
            m_wake = nullptr;
        }
        m_stack.reset();
    }
    mem_deref(wake);
}

} // namespace tapi
