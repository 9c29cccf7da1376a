#pragma once

#include "sip_service.h"

#define USE_OPENSSL 1 // libre declares tls_openssl_context only then
#include "libre.h"
#include "sip_guard.h"
#include "sip_media.h"
#include "sip_request.h"
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
inline constexpr const char* kAllowedMethods = "INVITE, ACK, BYE, CANCEL, OPTIONS, REFER, NOTIFY";

// Our transfer of a call's far end (REFER, sip_refer.cpp): the request, then the far end's
// reports (NOTIFY) until the final one or kTransferWaitMs.
struct SipTransfer {
    std::unique_ptr<DialogRequest> request;
    tmr wait{};

    SipTransfer();
    ~SipTransfer();
    SipTransfer(const SipTransfer&) = delete;
    SipTransfer& operator=(const SipTransfer&) = delete;
};

struct SipCall;

// The far end's REFER of a call (sip_refer.cpp): our call to the party it named, which takes the
// call's place once answered; until then the far end hears how it goes (NOTIFY).
struct SipReferral {
    std::unique_ptr<SipCall> call;
    std::uint32_t cseq = 0; // the REFER's: the id of its reports' Event
};

// One call of a SIP line: its session, its offer/answer and its media.
struct SipCall {
    SipLine* line = nullptr;
    std::uint64_t id = 0;
    bool incoming = false;
    bool established = false; // outgoing: answered; incoming: our answer went out
    bool remoteOffered = false;
    bool held = false; // we hold the call (lineHold): our offers say a=sendonly
    // Our re-INVITE (hold or resume) awaits its final answer; `challenged` once the stack answered
    // a 401/407 to it (a second one is final).
    bool awaitingHoldAnswer = false;
    bool challenged = false;
    sipsess* session = nullptr;
    sdp_session* sdp = nullptr;
    sdp_media* sdpMedia = nullptr;
    std::shared_ptr<SipMedia> media;
    tmr watch{};
    // Incoming: the exchange hears of the call only once it rang for kSettleMs; until then
    // `offer` holds the event that tells it.
    tmr settle{};
    std::optional<SipEvent> offer;
    std::unique_ptr<SipTransfer> transfer;
    std::unique_ptr<SipReferral> referral;
    // Once established: the far end's URI, and the dialog as a Replaces header names it for the
    // far end ("call-id;to-tag=theirs;from-tag=ours"), for an attended transfer.
    std::string remoteUri;
    std::string dialog;
    // Outgoing, while it rings: the dialogs the far end's provisional answers opened (its to-tags,
    // with our Call-ID and from-tag), which a pickup's Replaces may name.
    std::string callId;
    std::string localTag;
    std::vector<std::string> earlyTags;

    ~SipCall();
};

// One SIP line on the stack's thread.
class SipLine {
public:
    SipLine(SipService& service, const SipService::LineSetup& setup, dnsc* dns);
    ~SipLine();
    SipLine(const SipLine&) = delete;
    SipLine& operator=(const SipLine&) = delete;

    // Places call `id` to `target`; `headers` (each ending in CRLF) go into the INVITE.
    void Dial(std::uint64_t id, const std::string& target, const std::string& headers = {});
    // Directed pickup (sip_refer.cpp): call `id` to the caller of a colleague's ringing call,
    // asking it to replace that early dialog with ours.
    void Pickup(std::uint64_t id, const RingingCall& ringing);
    void Answer(std::uint64_t id);
    void Hangup(std::uint64_t id);
    // lineHold and lineUnhold of a connected call: a re-INVITE with a=sendonly or a=sendrecv.
    void Hold(std::uint64_t id, bool hold);
    // Transfers of a connected call (sip_refer.cpp): REFER to `target`, and the outcome reported.
    void Transfer(std::uint64_t id, const std::string& target);
    // An established call of the line as the target of an attended transfer: its far end's URI
    // with the Replaces of its dialog; empty when the line has no such call.
    std::string AttendedTarget(std::uint64_t id) const;
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
    static void OnHandOverWait(void* arg);
    static void OnTrace(bool sent, sip_transp transport, const sa* source, const sa* destination,
        const std::uint8_t* packet, std::size_t length, void* arg);
    static void OnGuardConnections(void* arg);
    static void OnConnectionArrived(void* arg);
    static void OnRefer(sip*, const sip_msg* msg, void* arg);
    // The 200 (our call) or ACK (the far end's) that established a call: its dialog's identity.
    static void RememberDialog(SipCall& call, const sip_msg* msg);
    // A provisional answer to our INVITE: the early dialog it opened, for a pickup's Replaces.
    static void RememberEarlyDialog(SipCall& call, const sip_msg& msg);
    static void OnReferAnswer(int err, const sip_msg* msg, void* arg);
    static void OnTransferSilence(void* arg);

    // A NOTIFY about our transfer: answered and, when it reports the end, the outcome told. False
    // when it belongs to no transfer of ours.
    bool TakeTransferReport(const sip_msg& notify);
    void FinishTransfer(SipCall& call, int code, const std::string& text);
    // An INVITE with Replaces: the call it names is ended and the new one answered at once (481
    // when it names no call of ours, 486 when early-only names an answered one). A call of ours
    // still ringing at the far end is picked up there: it goes on with the new party. False when
    // the INVITE has no Replaces.
    bool TakeReplacingCall(const sip_msg& invite);
    // Answers the replacing INVITE with 200 on `call`'s new session; false (and the INVITE refused)
    // when it cannot.
    bool AcceptSession(const sip_msg& invite, SipCall& call);
    void AcceptReplacement(const sip_msg& invite, SipCall& old, std::unique_ptr<SipCall> call);
    // Our ringing call `old` was picked up: `call`, the picker's, takes its place and its number
    // (the exchange sees its call answered); the original INVITE is cancelled.
    void AcceptPickup(const sip_msg& invite, SipCall& old, std::unique_ptr<SipCall> call);
    // The far end's REFER: 202, and our call to its Refer-To (with the Replaces it carries) placed.
    void TakeRefer(SipCall& original, const sip_msg& refer);
    // Tells the far end of `original` how our call for its REFER goes: a NOTIFY with `status`.
    void NotifyReferrer(const SipCall& original, const std::string& status, bool final);
    // A call placed for a REFER was answered: it takes the place of the call that asked, which ends.
    void HandOver(SipCall& call);
    // A call placed for a REFER ended unanswered (the far end hears `status`): freed, and true; false
    // for any other call.
    bool ReleaseReferredCall(SipCall& call, const std::string& status);
    // The call placed for the REFER of `original`, which ended first: it stays on the line.
    void KeepReferredCall(SipCall& original);
    // lineDrop of a call placed for a REFER while it rings: true when `id` is one.
    bool DropReferredCall(std::uint64_t id);
    // The call whose far end's REFER placed `placed` (or, without it, the call with `id`).
    SipCall* ReferrerOf(const SipCall* placed, std::uint64_t id = 0);
    // A request of ours in the dialog of `call`, not sent yet; `answer` hears its answers (with `arg`).
    std::unique_ptr<DialogRequest> InDialog(const SipCall& call, const char* method, std::string headers,
        sip_resp_h* answer = nullptr, void* arg = nullptr);
    bool Invite(SipCall& call, const std::string& target, const std::string& headers, std::string& error);

    bool Start(std::string& error);
    bool StartTls(std::string& error);
    void GuardConnections(sip_transp transport);
    void Register();
    // The account's password into m_password; false (with the reason) when its file may not be
    // used. No file is no password, and no error.
    bool ReadPassword(std::string& error);
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
    // The call talks: the exchange hears it was answered (by `party` when another than it called).
    void Connect(SipCall& call, const std::string& party = {});
    void EndCall(SipCall& call, SipEvent event);
    // Several calls per line (sip_waiting.cpp): a caller while the line has calls is offered as a
    // waiting call unless the line is at its limit, has a caller not yet answered, or has call
    // waiting off.
    SipCall* Find(std::uint64_t id) const;
    bool BusyForCaller() const;
    // Takes `call` off the line; it lives on in the answer (its session ends when that is freed).
    std::unique_ptr<SipCall> Detach(const SipCall& call);
    // A response that arrived: a final answer to one of our hold or resume re-INVITEs is reported
    // (the stack tells of a refusal to no handler, so the trace is where it is seen).
    void TakeResponse(const std::uint8_t* packet, std::size_t length);
    void TakeHoldAnswer(SipCall& call, const sip_msg& answer);
    // Tells the exchange how our hold or resume ended; a refused one is undone on our side.
    void ReportHoldAnswer(const SipCall& call, int code, const std::string& text);
    // An event of `kind` about `call` with the far end's answer `code` and `text`.
    void PostOutcome(const SipCall& call, SipEvent::Kind kind, int code, const std::string& text);
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
    std::unique_ptr<ConnectionAlarm> m_arrivals; // starts m_guardConnections
    tmr m_guardConnections{}; // runs only while a connection is unsettled
    std::string m_registrationText;
    std::string m_certificateError; // why OpenSSL refused the server's certificate last
    bool m_registered = false;
    bool m_onFallbackProxy = false; // registered and calling through the fallback-outbound-proxy
    std::vector<std::unique_ptr<SipCall>> m_calls; // oldest first
    std::vector<std::unique_ptr<SipCall>> m_ended; // freed by m_collect, outside libre's handlers
    // Our reports on the far ends' transfers (NOTIFY): they may outlive their calls.
    std::vector<std::unique_ptr<DialogRequest>> m_reports;
    // Calls a far end's REFER handed over: freed (our BYE) by m_handOverWait unless the far end's
    // BYE came first.
    std::vector<std::unique_ptr<SipCall>> m_handedOver;
    tmr m_handOverWait{};
    std::unique_ptr<DialogWatch> m_watch; // once something is watched
};

} // namespace tapi
