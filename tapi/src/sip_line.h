#pragma once

#include "sip_service.h"

#define USE_OPENSSL 1 // libre declares tls_openssl_context only then
#include "libre.h"
#include "sip_guard.h"
#include "sip_media.h"
#include "sip_watch.h"

#include <openssl/x509_vfy.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The SIP service's stack, private to it: a SipLine per line and its call, SipCall, both living on
// the service's thread. The line's registration is in sip_line.cpp, its TLS checks in sip_tls.cpp,
// its calls in sip_call.cpp.

namespace tapi {

// libre's error number in words.
std::string ErrorText(int err);
// A SIP answer's status line: "486 Busy Here".
std::string StatusText(const sip_msg& msg);

class SipLine;

// The requests a line answers, for Allow headers.
inline constexpr const char* kAllowedMethods = "INVITE, ACK, BYE, CANCEL, OPTIONS";

// One call of a SIP line: its session, its offer/answer and its media.
struct SipCall {
    SipLine* line = nullptr;
    std::uint64_t id = 0;
    bool incoming = false;
    bool established = false; // outgoing: answered; incoming: our answer went out
    bool remoteOffered = false;
    bool held = false; // we hold the call (lineHold): our offers say a=sendonly
    sipsess* session = nullptr;
    sdp_session* sdp = nullptr;
    sdp_media* sdpMedia = nullptr;
    std::shared_ptr<SipMedia> media;
    tmr watch{};
    // Incoming: the exchange hears of the call only once it rang for kSettleMs; until then
    // `offer` holds the event that tells it.
    tmr settle{};
    std::optional<SipEvent> offer;

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
    // lineHold and lineUnhold of a connected call: a re-INVITE with a=sendonly or a=sendrecv.
    void Hold(std::uint64_t id, bool hold);
    // The colleagues' lines watched from now on (dialog-event subscriptions, sip_watch.h).
    void Watch(const std::vector<std::string>& addresses);
    // Lets BYE, CANCEL and un-REGISTER go out before the stack closes.
    void Shutdown();

private:
    static int OnAuth(char** user, char** password, const char* realm, void* arg);
    static int OnRegisterAuth(char** user, char** password, const char* realm, void* arg);
    static void OnRegistered(int err, const sip_msg* msg, void* arg);
    static void OnRegisterSilence(void* arg);
    static void OnStopRegistering(void* arg);
    static bool OnRequest(const sip_msg* msg, void* arg);
    static int OnVerify(int ok, X509_STORE_CTX* store);
    static void OnKeepAlive(void* arg);
    static void OnIncoming(const sip_msg* msg, void* arg);
    static int OnOffer(mbuf** description, const sip_msg* msg, void* arg);
    static int OnAnswer(const sip_msg* msg, void* arg);
    static void OnProgress(const sip_msg* msg, void* arg);
    static void OnEstablished(const sip_msg* msg, void* arg);
    static void OnClosed(int err, const sip_msg* msg, void* arg);
    static void OnWatch(void* arg);
    static void OnSettled(void* arg);
    static void OnCollect(void* arg);
    static void OnTrace(bool sent, sip_transp transport, const sa* source, const sa* destination,
        const std::uint8_t* packet, std::size_t length, void* arg);
    static void OnGuardConnections(void* arg);

    bool Start(std::string& error);
    bool StartTls(std::string& error);
    void GuardConnections(sip_transp transport);
    void Register();
    // The outbound proxy in use stopped answering: the registration moves to the other one, when
    // the account has two. False when there is no other.
    bool SwitchProxy();
    // The outbound proxy in use, empty when the account has none.
    const std::string& Proxy() const;
    // A REGISTER went out: its answer is awaited for kRegisterAnswerMs (first or refresh alike).
    void AwaitRegistrar();
    void ReportRegistration(bool registered, const std::string& text);
    // Why the registration failed: the refused certificate when there was one, else `reason`.
    void ReportFailure(const std::string& reason);
    std::unique_ptr<SipCall> NewCall(std::uint64_t id, bool incoming, std::string& error);
    int TakeRemoteDescription(SipCall& call, mbuf* body, bool offer);
    // The far end's audio can reach us: a port, an address (not 0.0.0.0), the line's address family.
    bool CarriesAudio(const SipCall& call) const;
    // Our direction after an offer or answer: whether we send our audio, and whether the far end's
    // silence ends the call (not while either side holds it).
    void ApplyDirection(SipCall& call);
    // The RTP time-out applies: audio flows both ways (neither side holds the call).
    static bool Watched(const SipCall& call);
    // Turns an INVITE away with `code`, and tells the exchange so that the caller is logged.
    void Refuse(const sip_msg& invite, std::uint16_t code, const char* reason);
    SipEvent CallEvent(const sip_msg& invite, SipEvent::Kind kind) const;
    void Connect(SipCall& call);
    void EndCall(SipCall& call, SipEvent event);
    SipCall* Find(std::uint64_t id) { return m_call && m_call->id == id ? m_call.get() : nullptr; }
    std::string FromUri() const { return "sip:" + m_account.user + "@" + m_account.domain; }
    std::vector<std::string> Routes() const;
    // Calls are taken from the trusted proxy only when the line registers, else also from the
    // allow-list; the address counts, not the port (a proxy may send from any of its ports).
    bool TakesCallsFrom(const sa& source) const;
    // The registrar as it answered, or a configured peer: the only sources whose
    // P-Asserted-Identity is believed.
    bool IsTrustedProxy(const sa& source) const;

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
    sip_lsnr* m_requests = nullptr; // OPTIONS
    tmr m_registerSilence{};
    tmr m_stopRegistering{};
    // The registrar's challenge was answered since its last final answer: a second challenge means
    // it refused the password, and the line stops rather than retry (a provider may lock the account).
    bool m_challengeAnswered = false;
    tmr m_keepAlive{};
    tmr m_collect{};
    sa m_registrar{};
    std::vector<sa> m_peers; // the hosts of domain, registrar and outbound proxy that are IP addresses
    std::vector<sa> m_allowed; // without registration: the allow-list
    CallRateLimit m_callRate;
    std::unique_ptr<ConnectionGuard> m_connections; // TCP and TLS lines
    tmr m_guardConnections{};
    std::string m_registrationText;
    std::string m_certificateError; // why OpenSSL refused the server's certificate last
    bool m_registered = false;
    bool m_onFallbackProxy = false; // registered and calling through the fallback-outbound-proxy
    std::unique_ptr<SipCall> m_call;
    std::vector<std::unique_ptr<SipCall>> m_ended; // freed by m_collect, outside libre's handlers
    std::unique_ptr<DialogWatch> m_watch; // once something is watched
};

} // namespace tapi
