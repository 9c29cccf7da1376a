#pragma once

#include "tapi.h"
#include "tapisim.h"

#include "device_config.h"
#include "dial_plan.h"
#include "event_queue.h"
#include "line_audio.h"
#include "sip_service.h"
#include "unique_fd.h"
#include "wake_signal.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tapi {

class ControlServer;
class VarStruct;

// The telephony service of this process: applications, open lines and phones, calls, and the
// simulated exchange behind them (devices, far ends, dial plan, clock). Every public method
// locks; messages are only queued here and run by DispatchEvents on the caller's thread.
class Exchange {
public:
    static Exchange& Instance();
    // True once an application or a test started the service in this process.
    static bool IsRunning();

    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Applications.
    LONG LineInitialize(HLINEAPP& app, LINECALLBACK callback, const char* name, DWORD& numDevs,
        DWORD& version, const LINEINITIALIZEEXPARAMS* params);
    LONG LineShutdown(HLINEAPP app);
    LONG PhoneInitialize(HPHONEAPP& app, PHONECALLBACK callback, const char* name, DWORD& numDevs,
        DWORD& version, LPPHONEINITIALIZEEXPARAMS params);
    LONG PhoneShutdown(HPHONEAPP app);
    LONG DispatchEvents();
    int EventFd() const { return m_queue.Fd(); }

    // Line devices.
    LONG NegotiateApiVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high, DWORD& version);
    LONG GetDevCaps(HLINEAPP app, DWORD device, DWORD version, DWORD extVersion, LINEDEVCAPS& caps);
    LONG GetAddressCaps(
        HLINEAPP app, DWORD device, DWORD addressId, DWORD version, DWORD extVersion, LINEADDRESSCAPS& caps);
    LONG CheckDevice(DWORD device);
    LONG LineOpen(HLINEAPP app, DWORD device, HLINE& line, DWORD version, DWORD extVersion,
        DWORD_PTR instance, DWORD privileges, DWORD mediaModes);
    LONG LineClose(HLINE line);
    LONG GetId(HLINE line, DWORD addressId, HCALL call, DWORD select, VARSTRING& out,
        const std::string& deviceClass);
    LONG SetStatusMessages(HLINE line, DWORD lineStates, DWORD addressStates);
    LONG GetLineDevStatus(HLINE line, LINEDEVSTATUS& status);
    LONG GetNewCalls(HLINE line, DWORD addressId, DWORD select, LINECALLLIST& list);
    LONG SetTerminal(
        HLINE line, DWORD addressId, HCALL call, DWORD select, DWORD modes, DWORD terminalId, bool enable);
    // Assisted telephony. A request waits until its recipient takes it (GetRequest); the recipient
    // then says whether it placed the call (ReportRequestOutcome). A requester in another process
    // passes `awaitedId` and waits for that answer with WaitForRequestFate.
    LONG RegisterRequestRecipient(HLINEAPP app, DWORD instance, DWORD modes, bool enable);
    LONG GetRequest(HLINEAPP app, DWORD mode, LINEREQMAKECALL& out);
    LONG RequestMakeCall(const LINEREQMAKECALL& request, DWORD* awaitedId = nullptr);
    LONG ReportRequestOutcome(HLINEAPP app, LONG result);
    enum class RequestFate {
        Placed,
        Failed,
        // Nobody took the request in time: it was withdrawn, so it is never placed later.
        NotTaken,
        // Taken by a recipient that does not say what became of it.
        Unanswered,
    };
    RequestFate WaitForRequestFate(DWORD id, std::chrono::milliseconds limit);
    LONG CheckLineApp(HLINEAPP app);
    DWORD LineDeviceCount();
    std::string LineName(DWORD device);

    // Calls.
    struct CallText {
        std::string displayable, calledParty, comment;
        DWORD noAnswerSeconds = 0;
        DWORD mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
        DWORD bearerMode = LINEBEARERMODE_VOICE;
    };
    LONG MakeCall(HLINE line, HCALL* callOut, const std::string& destination, const CallText& text);
    LONG Answer(HCALL call);
    LONG Drop(HCALL call);
    LONG Deallocate(HCALL call);
    LONG Hold(HCALL call);
    LONG Unhold(HCALL call);
    LONG SwapHold(HCALL activeCall, HCALL heldCall);
    LONG BlindTransfer(HCALL call, const std::string& destination);
    // Consultation transfer and conference (exchange_transfer.cpp, exchange_conference.cpp).
    LONG SetupTransfer(HCALL call, HCALL* consultOut);
    LONG Dial(HCALL call, const std::string& destination);
    LONG CompleteTransfer(HCALL call, HCALL consult, HCALL* confOut, DWORD mode);
    LONG SetupConference(HCALL call, HLINE line, HCALL* confOut, HCALL* consultOut, DWORD numParties);
    LONG AddToConference(HCALL conf, HCALL consult);
    LONG RemoveFromConference(HCALL call);
    // Directed pickup of the call ringing at `destination` (exchange_pickup.cpp).
    LONG Pickup(HLINE line, DWORD addressId, HCALL* callOut, const std::string& destination,
        const std::string& group);
    LONG GetCallInfo(HCALL call, LINECALLINFO& info);
    LONG GetCallStatus(HCALL call, LINECALLSTATUS& status);
    LONG GenerateDigits(HCALL call, DWORD mode, const char* digits, DWORD duration);
    LONG GenerateTone(HCALL call, DWORD mode, DWORD duration, const std::vector<LINEGENERATETONE>& tones);

    // Phones.
    LONG PhoneOpen(HPHONEAPP app, DWORD device, HPHONE& phone, DWORD version, DWORD extVersion,
        DWORD_PTR instance, DWORD privilege);
    LONG PhoneClose(HPHONE phone);
    LONG PhoneSetStatusMessages(HPHONE phone, DWORD phoneStates, DWORD buttonModes, DWORD buttonStates);
    LONG PhoneGetStatus(HPHONE phone, PHONESTATUS& status);
    LONG PhoneSetHookSwitch(HPHONE phone, DWORD devices, DWORD mode);
    LONG PhoneGetVolume(HPHONE phone, DWORD device, DWORD& volume);
    LONG PhoneSetVolume(HPHONE phone, DWORD device, DWORD volume);
    LONG PhoneDevSpecific(HPHONE phone, const std::string& command);
    LONG PhoneGetMessage(HPHONEAPP app, PHONEMESSAGE& message, DWORD timeoutMs);

    // Simulation control (tapisim.h).
    LONG UseManualClock(bool manual);
    LONG Advance(DWORD milliseconds);
    std::uint64_t Now();
    LONG Reset();
    LONG Configure(const char* text);
    // Re-reads the configuration file and applies the lines' SIP accounts and ring periods
    // (exchange_reload.cpp). TAPISIM_E_CONFIG when the file has a mistake or changes the device
    // set, TAPISIM_E_BUSY while a call would be cut; `message` says why.
    LONG ReloadConfig(std::string& message);
    std::string LastError();
    // Colleagues' lines watched through a SIP line (exchange_watch.cpp).
    LONG WatchLines(HLINE line, const std::vector<std::string>& addresses);
    LONG GetWatchedLine(HLINE line, DWORD index, DWORD& state);
    LONG Ring(DWORD line, const TAPISIM_CALLER& caller);
    // callId 0: the line's current call (see FarEndCall).
    LONG FarEndHangUp(DWORD line, DWORD callId = 0);
    // The far end of a connected call puts it on hold or takes it back.
    LONG FarEndHold(DWORD line, DWORD callId, bool hold);
    // The far end of a connected call transfers it to `destination` (exchange_transfer.cpp).
    LONG FarEndTransfer(DWORD line, DWORD callId, const std::string& destination);
    LONG AnswerDialled(DWORD line, bool answer);
    LONG AddDialRule(DialRule rule);
    LONG ClearDialPlan();
    std::vector<DialRule> DialRules();
    LONG SetFarEndSilence(DWORD line);
    // callId: that call's own far end (see LineAudio::SetCallTone); 0: the line's.
    LONG SetFarEndTone(DWORD line, DWORD frequency, int level, DWORD callId = 0);
    LONG SetFarEndWave(DWORD line, const std::string& path);
    LONG GetHeard(DWORD line, std::vector<std::int16_t>& samples, DWORD callId = 0);
    LONG GetDetectedDigits(DWORD line, std::string& digits);
    LONG GetGeneratedLog(DWORD line, std::string& log);
    LONG ClearHeard(DWORD line);
    LONG SetHandset(DWORD phone, bool offHook);
    int PhoneIdOfLine(DWORD line);
    std::string DescribeLines();
    std::string DescribeHeard(DWORD line, LONG& result);
    std::string ControlSocketPath();

private:
    // The exchange moves line audio in blocks of 20 ms.
    static constexpr std::uint64_t kAudioBlockMs = 20;
    static constexpr std::size_t kAudioBlockSamples = 160;

    struct LineApp {
        LINECALLBACK callback = nullptr;
        std::string name;
        DWORD version = 0;
        DWORD requestModes = 0;
        DWORD registrationInstance = 0;
        std::uint64_t registrationOrder = 0;
    };
    struct PhoneApp {
        PHONECALLBACK callback = nullptr;
        std::string name;
        DWORD version = 0;
        bool useEvent = false;
        std::deque<PHONEMESSAGE> messages;
        UniqueFd event;
    };
    struct OpenLine {
        HLINEAPP app = 0;
        DWORD device = 0;
        DWORD_PTR instance = 0;
        DWORD privileges = 0;
        DWORD mediaModes = 0;
        DWORD lineStates = 0;
        DWORD addressStates = 0;
        std::uint64_t order = 0;
    };
    struct OpenPhone {
        HPHONEAPP app = 0;
        DWORD device = 0;
        DWORD_PTR instance = 0;
        DWORD privilege = 0;
        DWORD phoneStates = 0;
    };
    struct CallHandle {
        HLINE line = 0;
        DWORD callId = 0;
        DWORD privilege = 0;
    };
    struct Generation {
        HCALL handle = 0;
        std::uint64_t id = 0;
    };
    struct PendingRequest {
        DWORD request = 0;
        HLINE line = 0;
    };
    // Our hold or resume of a SIP call, sent as a re-INVITE: `reply` is lineHold's or lineUnhold's
    // request, answered once the far end did; none when another request put the call on hold or
    // took it back at once (answering a waiting call, swapping).
    struct SipHoldRequest {
        std::optional<PendingRequest> reply;
        bool hold = false;
    };
    struct Call {
        DWORD id = 0;
        DWORD device = 0;
        bool incoming = false;
        DWORD state = LINECALLSTATE_IDLE;
        DWORD stateMode = 0;
        std::uint64_t stateEntered = 0;
        std::uint64_t epoch = 0;
        std::vector<HCALL> handles;
        std::string appName;
        // Outgoing.
        std::string dialled;
        CallText text;
        DialRule rule;
        // Incoming.
        std::string callerNumber;
        std::string callerName;
        DWORD callerFlags = 0;
        DWORD giveUpAfterRings = 0;
        DWORD ringCount = 0;
        DWORD hangUpAfterMs = 0;
        bool answeredAtPhone = false;
        std::optional<Generation> generation;
        std::optional<PendingRequest> pendingAnswer;
        std::optional<PendingRequest> pendingDrop;
        std::uint64_t sipCall = 0; // the SIP line's call, 0 on a simulated line
        // A SIP call's far end being handed to `transferTo` (REFER): lineBlindTransfer's request.
        std::optional<PendingRequest> pendingTransfer;
        std::string transferTo;
        DWORD transferConsult = 0; // an attended transfer's consultation call
        // A call placed because the far end of another transferred us to it (REFER): who did,
        // as the far end said (LINECALLINFO's redirecting party, reason TRANSFER).
        bool referred = false;
        std::string referredByNumber;
        std::string referredByName;
        std::shared_ptr<AudioLink> sipMedia; // its audio once answered
        bool sipHeld = false; // what we last asked its far end: held or not
        std::optional<SipHoldRequest> sipHold; // awaiting the far end's answer
        bool farEndHolding = false; // the far end put the call on hold
        // A consultation call: the call it was set up from (pending transfer or conference).
        DWORD consultFor = 0;
        // A conference call lists its parties' calls; a party names its conference call.
        bool isConference = false;
        std::vector<DWORD> parties;
        DWORD conference = 0;
        // The far end handed the call to `transferTarget`, which is being called; once it answered
        // it is the connected party and the far end that handed it over the redirecting one.
        std::string transferTarget;
        std::string connectedNumber, redirectingNumber;
        bool pickedUp = false; // answered here while it rang elsewhere (LINECALLREASON_PICKUP)
    };
    struct PhoneState {
        DWORD line = 0;
        DWORD handsetMode = PHONEHOOKSWITCHMODE_ONHOOK;
        DWORD speakerMode = PHONEHOOKSWITCHMODE_ONHOOK;
        DWORD headsetMode = PHONEHOOKSWITCHMODE_ONHOOK;
        DWORD handsetVolume = 0x8000, speakerVolume = 0x8000, headsetVolume = 0x8000;
        bool audioToComputer = false;
    };
    struct Line {
        LineConfig config;
        std::shared_ptr<LineAudio> audio;
        // The call that has the line's audio path; held and waiting calls are not active.
        DWORD activeCall = 0;
        // Far ends handed to another number, "NUMBER to NUMBER", the latest last.
        std::vector<std::string> transferred;
        int phone = -1;
        DWORD terminalModes = LINETERMMODE_HOOKSWITCH;
        // A SIP line is in service while registered (or when it does not register).
        bool inService = true;
        std::string serviceText;
        // Colleagues' lines the SIP line watches (tapiWatchLines), in the order asked.
        struct Watched {
            std::string address;
            LineActivity activity = LineActivity::Unknown;
            std::optional<RingingCall> ringing; // the call there that may be picked up
        };
        std::vector<Watched> watched;
    };
    // A SIP pickup under way: our INVITE to the caller of the ringing call at `number`, the
    // request answered (with the new call's handle) once the caller took us on.
    struct SipPickup {
        PendingRequest reply;
        HCALL* callOut = nullptr;
        DWORD device = 0;
        std::uint64_t sipCall = 0;
        std::string callerNumber;
        std::string appName;
    };
    struct Timer {
        DWORD callId = 0;
        std::uint64_t epoch = 0;
        bool epochBound = true;
        std::function<void(Call&)> action;
    };
    struct RequestEntry {
        HLINEAPP app = 0;
        LINEREQMAKECALL request{};
        // Non-zero while a requester waits for the request's fate.
        DWORD awaitedId = 0;
    };

    // The exchange itself (exchange.cpp): construction, configuration, start and stop, the clock.
    Exchange();
    void EnsureStarted();
    void BuildDevices();
    void StopClockThread();
    void ClockThreadMain();
    // The real clock sleeps while no line needs audio ticks: until the next timer, or until woken
    // (a timer scheduled, a line's audio starting, a SIP event) when there is none. Called by the
    // clock thread: PlanClockSleep, with the clock at `clockMs` at steady time `at`, answers when
    // to wake (none: only when woken); WakeClockUp brings the clock to real time after the sleep.
    std::optional<WakeSignal::Clock::time_point> PlanClockSleep(
        WakeSignal::Clock::time_point at, std::uint64_t clockMs);
    std::uint64_t WakeClockUp();
    // The clock's time for anything that happens now; while the real clock sleeps it is moved to
    // real time first (never past the next timer, which the clock thread still has to run).
    std::uint64_t ClockMs();
    void AdvanceTo(std::uint64_t target);
    bool RunDueTimer(std::uint64_t target, std::vector<std::shared_ptr<LineAudio>>& tick);
    // Reads the configuration file, a regular file of at most 1 MiB; anything else, or a text with
    // mistakes, leaves the built-in device set and is reported.
    LONG LoadConfigFile();
    // The configuration file's path; empty without HOME.
    static std::string ConfigFilePath();
    // Reads and parses the configuration file into `config` (left alone when there is no file);
    // false with "<path>: <what>" in `error` when the file is refused or has a mistake.
    static bool ReadConfigFile(DeviceConfig& config, std::string& error);
    LONG ReportConfigError(const std::string& error);

    DWORD NewHandle() { return m_nextHandle++; }
    DWORD NewRequest();
    SYSTEMTIME WallTime(std::uint64_t clockMs) const;

    // Lookups (exchange.cpp); null when the handle is not valid.
    OpenLine* FindLine(HLINE line);
    CallHandle* FindCallHandle(HCALL call);
    Call* FindCall(DWORD callId);
    OpenPhone* FindPhone(HPHONE phone);
    Call* ActiveCall(DWORD device);
    DWORD CountOwners(const Call& call) const;
    LineAudio* AudioOf(DWORD line);

    // Applications (exchange_apps.cpp).
    static bool VersionSupported(DWORD version);
    // Registers a checked application and starts the service; called with m_mutex held.
    template <typename Apps, typename App> DWORD AddApp(Apps& apps, App app);

    // Dialing requests (exchange_requests.cpp).
    // Drops the requests of an application that stops serving them; their requesters learn it.
    void ForgetRequestsOf(HLINEAPP app);

    // Messages (exchange_messages.cpp).
    void PostLine(HLINE line, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3,
        HCALL* handleOut = nullptr, HCALL handleValue = 0);
    void PostReply(const PendingRequest& request, LONG result);
    // A successful LINE_REPLY that hands the application up to two new call handles.
    struct HandleReturn {
        HCALL* out;
        HCALL value;
    };
    void PostReplyWithCalls(
        HLINE line, DWORD request, HandleReturn first, HandleReturn second = { nullptr, 0 });
    // Queues `queued` for the application that opened `line`; nothing once the line is closed.
    void PushForLine(HLINE line, QueuedMessage queued);
    // LINE_CALLSTATE's second parameter: the state's mode, or the conference call's handle for a
    // CONFERENCED party.
    DWORD_PTR CallStateParam(const Call& call, const CallHandle& handle);
    void PostCallState(const Call& call);
    void PostLineDevState(DWORD device, DWORD state, DWORD_PTR p2, DWORD_PTR p3);
    void PostPhone(HPHONE phone, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
    void PostPhoneState(DWORD phoneDevice, DWORD state, DWORD_PTR p2);
    bool ResolveForDispatch(const QueuedMessage& message, LINECALLBACK& line, PHONECALLBACK& phone);

    // Call progress (exchange_calls.cpp).
    // The call of a handle its application owns, or LINEERR_INVALCALLHANDLE / LINEERR_NOTOWNER.
    struct OwnedCall {
        const CallHandle* entry;
        Call* call;
        LONG error;
    };
    OwnedCall FindOwnedCall(HCALL handle);
    void Schedule(Call& call, DWORD delayMs, std::function<void(Call&)> action, bool epochBound = true);
    void SetState(Call& call, DWORD state, DWORD mode);
    void UpdateAudioPhase(const Call& call);
    void StartDialling(Call& call);
    void ReachFarEnd(Call& call);
    void StartRingback(Call& call);
    void ConnectCall(Call& call);
    void DisconnectCall(Call& call, DWORD mode);
    void RingIncoming(Call& call);
    void CompleteAnswer(Call& call);
    void EndGeneration(Call& call, DWORD reason);
    void FinishDrop(Call& call);
    void FailPendingAnswer(Call& call);
    HCALL AddCallHandle(Call& call, HLINE line, DWORD privilege);
    void RemoveLineHandles(HLINE line);
    void CollectCall(DWORD callId);
    DWORD NoAnswerMs(const Call& call) const;
    void StartGeneration(Call& call, HCALL handle, DWORD lengthMs, const std::string& logLine);
    Call& OfferCall(DWORD line, const TAPISIM_CALLER& caller);
    // A call arriving on `line`, announced (LINE_APPNEWCALL) to its openers, in no state yet.
    Call& NewIncomingCall(DWORD line, const TAPISIM_CALLER& caller);
    bool HasOwner(DWORD line) const;
    void EnterBusy(Call& call);
    // Checks the call handle and the structure's size, then fills it.
    template <typename Structure>
    LONG QueryCall(
        HCALL handle, Structure& out, void (Exchange::*fill)(const Call&, const CallHandle&, Structure&));
    void FillCallInfo(const Call& call, const CallHandle& handle, LINECALLINFO& info);
    // The reason and redirecting party of a call the far end of another transferred us to.
    static void FillTransferredBy(const Call& call, LINECALLINFO& info, VarStruct& var);
    void FillCallStatus(const Call& call, const CallHandle& handle, LINECALLSTATUS& status);
    DWORD CallFeatures(const Call& call, DWORD privilege);

    // Several calls per line: call waiting and hold (exchange_hold.cpp).
    static constexpr DWORD kMaxCallsPerLine = kMaxCallsOnLine;
    static bool IsOffered(const Call& call);
    bool CarriesSeveralCalls(DWORD device) const;
    std::vector<Call*> CallsOnLine(DWORD device);
    // A caller on a line with calls waits (call waiting) unless this says busy.
    bool LineBusyForCaller(DWORD device);
    // The call the far end's commands mean: callId, else the active call, else the newest one.
    Call* FarEndCall(DWORD device, DWORD callId);
    // Whether `call` may become the line's active call, and making it so: a connected active call
    // is put on hold first; an offered or disconnected one just loses the audio path.
    bool CanTakeLine(const Call& call);
    void TakeLine(Call& call);
    // The active call ended or was held: a waiting caller, if any, becomes the active call.
    void ReleaseLine(DWORD device);
    bool Holdable(const Call& call) const;
    // A held call that lineUnhold may take back now.
    bool Unholdable(const Call& call);
    void PutOnHold(Call& call, DWORD state = LINECALLSTATE_ONHOLD);
    // Sets the line's audio from its calls: the active call's phase, silence for held calls, the
    // call-waiting tone while a caller waits, the far end's hold.
    void RefreshLineAudio(DWORD device);
    DWORD HoldFeatures(const Call& call);
    LONG CompleteHoldRequest(const OwnedCall& owned, Call* other, bool hold);
    // LINE_REPLY (0), then `held` on hold and `taken` back as the line's active call.
    void ApplyHold(const PendingRequest& reply, Call* held, Call* taken);
    // Consultation calls (exchange_transfer.cpp): a new call in DIALTONE on the line of `from`,
    // owned through `line`, which becomes the line's active call.
    Call& NewConsultationCall(const Call& from, HLINE line);
    // Records the far end of `call` as handed to `destination` (`linesim list`, the line's log).
    void RecordTransfer(const Call& call, const std::string& destination);
    static bool PendingConsultation(const Call& call);
    void FinishFarEndTransfer(Call& call, DWORD failure);
    static std::string FarEndNumber(const Call& call);
    Call* ConsultationOf(const Call& call);
    // SIP transfers (REFER): lineBlindTransfer of a SIP call, its outcome as the SIP line reports
    // it, and the request failed when the call ends first.
    LONG SipBlindTransfer(const OwnedCall& owned, const std::string& destination);
    LONG SipCompleteTransfer(const OwnedCall& owned, Call& consult);
    // The request of a SIP transfer to `to` (a number as shown), pending until the outcome.
    LONG StartSipTransfer(const OwnedCall& owned, const std::string& to, DWORD consult);
    void OnSipTransferred(Call& call, const SipEvent& event);
    void FailPendingTransfer(Call& call);
    // An INVITE with Replaces: the new call takes the line, connected at once.
    void ConnectReplacement(const SipEvent& event);
    // The far end's REFER: our new call to the party it named, dialling, on the same line.
    void PlaceReferredCall(const SipEvent& event);
    DWORD ConsultationFeatures(const Call& call);
    // Conferences (exchange_conference.cpp).
    // Three-way: us and two far ends.
    static constexpr DWORD kConferenceParties = 3;
    Call& NewConferenceCall(const Call& from, HLINE line);
    // A party of another line talks through the conference's line: its SIP audio, or its line's
    // simulated far end, is linked into that line's mix until it leaves (UnlinkParty).
    void JoinConference(Call& conference, Call& party);
    std::shared_ptr<AudioLink> PartyLink(const Call& party);
    void UnlinkParty(const Call& conference, const Call& party);
    // Whether `party`, a call of any voice line, may join a conference now (lineAddToConference).
    bool JoinsConference(const Call& party) const;
    // lineCompleteTransfer in conference mode of a held call and a connected call of another line.
    LONG ConferenceAcrossLines(const OwnedCall& held, const OwnedCall& connected, HCALL* confOut);
    // The application that opened `line`, or that owns `call` (0: none).
    HLINEAPP AppOfLine(HLINE line);
    HLINEAPP OwnerApp(const Call& call);
    // A call ended or left its conference: a conference call takes its parties with it, a
    // conference ends with its last party, and a conference being set up is cancelled when its
    // consultation call ends.
    void LeaveConference(Call& party);
    // The far ends that talk with us now: the active call's, or a conference's parties.
    std::vector<DWORD> FarEndsHeard(DWORD device);
    DWORD ConferenceFeatures(const Call& call);
    static bool JoinsHeld(const Call& call);
    // The line's calls for `linesim list` (exchange_sim.cpp).
    std::string DescribeCalls(DWORD device);

    // Phones (exchange_phones.cpp).
    PhoneState* PhoneOfLine(DWORD line);
    LONG CheckPhoneDevice(DWORD device);
    PhoneState* PhoneStateOf(const OpenPhone& phone);
    DWORD* HookSwitchMode(PhoneState& phone, DWORD device);
    DWORD* Volume(PhoneState& phone, DWORD device);

    // Simulation control (exchange_sim.cpp).
    void ClearState();
    void HandsetOnLine(DWORD line, bool offHook);
    std::string HandleCommand(const std::string& command);

    // SIP lines (exchange_sip.cpp).
    void StartSipLines();
    void TakeSipEvents();
    void OnSipEvent(const SipEvent& event);
    void OnSipIncoming(const SipEvent& event);
    void OnSipRefused(const SipEvent& event);
    // Tells a SIP line whether an application owns its calls (lines opened or closed).
    void UpdateSipOwners();
    void OnSipFailure(Call& call, const SipEvent& event);
    void SetInService(DWORD line, bool inService, const std::string& text);
    void RestartSipLines();
    Call* FindSipCall(std::uint64_t sipCall);
    // Several calls on a SIP line (exchange_sip_hold.cpp). Our hold or resume goes to the far end
    // as a re-INVITE; lineHold and lineUnhold answer once it answered, a refusal with an error.
    LONG RequestSipHold(const OwnedCall& owned, bool hold);
    void SendSipHold(Call& call, bool hold, std::optional<PendingRequest> reply = std::nullopt);
    void OnSipHoldAnswered(Call& call, const SipEvent& event);
    // An answered call's audio: the line's while the call is active, a party's in a conference.
    void TakeSipMedia(Call& call, const SipEvent& event);
    // The call ended: its audio is unlinked, a hold request still awaiting the far end fails.
    void EndSipCall(Call& call);
    bool IsSipLine(DWORD line) const;
    void PlaceSipCall(Call& call, const std::string& target);
    // Directed pickup (exchange_pickup.cpp): the watched line's ringing call on a SIP line, a call
    // offered on another line of the exchange on a simulated one.
    LONG StartSipPickup(HLINE line, DWORD device, HCALL* callOut, const std::string& destination);
    LONG PickUpSimulated(HLINE line, DWORD device, HCALL* callOut, const std::string& destination);
    // An event about a SIP pickup under way: true when it was one (and it is dealt with).
    bool OnSipPickupEvent(const SipEvent& event);
    void ConnectPickedUpCall(const SipPickup& pickup, const SipEvent& event);
    // Watched lines (exchange_watch.cpp): a watched line's new state from the SIP service, the
    // lists handed to a (re)started service, and lists dropped once nobody has the line open.
    void OnSipWatched(const SipEvent& event);
    void SendWatchLists();
    void DropUnwatchedLists();
    void SetWatchedActivity(DWORD line, std::size_t index, LineActivity activity);

    std::mutex m_mutex;
    std::condition_variable m_phoneMessages;
    EventQueue m_queue;
    DeviceConfig m_config;
    std::string m_lastError;
    std::vector<Line> m_lines;
    std::vector<PhoneState> m_phones;
    DialPlan m_dialPlan;

    std::map<HLINEAPP, LineApp> m_lineApps;
    std::map<HPHONEAPP, PhoneApp> m_phoneApps;
    std::map<HLINE, OpenLine> m_openLines;
    std::map<HPHONE, OpenPhone> m_openPhones;
    std::map<HCALL, CallHandle> m_callHandles;
    std::map<DWORD, Call> m_calls;
    std::deque<RequestEntry> m_requests;
    // Awaited requests taken by their recipients (oldest first), and the answers not yet collected.
    std::deque<RequestEntry> m_takenRequests;
    std::map<DWORD, LONG> m_requestOutcomes;
    std::condition_variable m_requestAnswered;
    DWORD m_nextAwaitedRequest = 1;
    std::map<std::pair<std::uint64_t, std::uint64_t>, Timer> m_timers;

    DWORD m_nextHandle = 0x10001;
    DWORD m_nextRequest = 1;
    DWORD m_nextCallId = 1;
    std::uint64_t m_sequence = 0;
    std::uint64_t m_generationIds = 0;

    bool m_started = false;
    bool m_manualClock = false;
    std::uint64_t m_now = 0;
    std::uint64_t m_nextAudioTick = kAudioBlockMs;
    std::int64_t m_wallStartMs = 0;
    std::thread m_clockThread;
    std::atomic<bool> m_clockRunning{ false };
    WakeSignal m_clockWake;
    // While the real clock sleeps: the steady time at which the clock showed m_clockAnchorMs.
    bool m_clockAsleep = false;
    WakeSignal::Clock::time_point m_clockAnchor;
    std::uint64_t m_clockAnchorMs = 0;
    std::unique_ptr<ControlServer> m_control;
    std::unique_ptr<SipService> m_sip;
    std::vector<SipPickup> m_sipPickups;
    std::uint64_t m_nextSipCall = 1;
};

} // namespace tapi
