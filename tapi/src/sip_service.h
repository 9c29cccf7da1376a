#pragma once

#include "device_config.h"
#include "dialog_info.h"
#include "tapi.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct mqueue;

namespace tapi {

class AudioLink;
class LineAudio;

// What the SIP stack reports to the exchange. The stack's thread queues these; the exchange takes
// them on its clock, so the exchange's lock is never taken by the stack.
struct SipEvent {
    enum class Kind {
        Registration, // `registered` with `text` (the state in words)
        Incoming, // a new call: `number`, `name`, `blocked`
        Refused, // a caller turned away with `code` (busy, no usable audio): `number`, `name`, `blocked`
        Progress, // 1xx: `ringing` for 180/183
        Answered, // outgoing: the far end answered; incoming: our answer went out
        Failed, // outgoing: final answer `code` (0: no answer at all, `text` says why)
        Ended, // the far end hung up or gave up (BYE, CANCEL); `timedOut` when it went silent
        // The outcome of our transfer (REFER): the far end's final report `code` (0: none came)
        // and `text` in words.
        Transferred,
        // The far end asked us (REFER) to call `number` (`name`) instead, as `referredByNumber`
        // (`referredByName`) when it said who: `call` is our new call, already dialling, and
        // `replaces` the call that asked. That call ends once the new one is answered.
        Referred,
        // Our hold or resume (re-INVITE) answered: `code` 200 when the far end took it (or nothing
        // had to change), its refusal (4xx to 6xx) with `text`, or 0 when it could not be sent.
        HoldAnswered,
        // A watched line (`number`, its address as given) is doing something else: `activity`, and
        // `ringingCall`, the call there that may be picked up, if any.
        Watched,
    };
    Kind kind = Kind::Registration;
    DWORD line = 0;
    std::uint64_t call = 0;
    bool registered = false;
    bool ringing = false;
    bool blocked = false;
    bool timedOut = false;
    int code = 0;
    LineActivity activity = LineActivity::Unknown;
    std::optional<RingingCall> ringingCall;
    std::string text;
    std::string number;
    std::string name;
    // Incoming: the call an INVITE with Replaces takes the place of (already answered); Referred:
    // the call whose far end asked. Ended: the call was replaced or handed over so.
    std::uint64_t replaces = 0;
    bool replaced = false;
    std::string referredByNumber;
    std::string referredByName;
    // Answered: the call's audio, which the exchange links to the line while the call talks.
    std::shared_ptr<AudioLink> media;
};

// The calls a line carries at once (talking, held, a caller waiting), SIP or simulated.
inline constexpr std::size_t kMaxCallsOnLine = 4;

// The SIP lines of the exchange: one thread running libre's event loop with every SIP line's
// stack (its transport, registration and call). The exchange sends commands, which never block;
// the thread answers with events, and calls `onEvent` after queuing each (the exchange's clock
// then wakes to take them).
class SipService {
public:
    struct LineSetup {
        DWORD line = 0;
        std::string name;
        SipAccount account;
        std::shared_ptr<LineAudio> audio;
    };

    SipService(std::vector<LineSetup> lines, std::function<void()> onEvent);
    ~SipService();
    SipService(const SipService&) = delete;
    SipService& operator=(const SipService&) = delete;

    // Calls are named by a number the exchange gives (outgoing) or the service gives (incoming,
    // with the top bit set).
    void Dial(DWORD line, std::uint64_t call, const std::string& target);
    void Answer(std::uint64_t call);
    // Ends the call as its state needs: CANCEL, BYE or 486 Busy Here. Unknown calls are ignored.
    void Hangup(std::uint64_t call);
    // Puts a connected call on hold (a re-INVITE with a=sendonly, our audio stopped) or resumes it
    // (a=sendrecv); a HoldAnswered event tells how the far end answered.
    void Hold(std::uint64_t call, bool hold);
    // Hands the far end of a connected call to `target` (a SIP URI) with REFER; a Transferred event
    // tells the outcome. The call itself goes on until the exchange ends it.
    void Transfer(std::uint64_t call, const std::string& target);
    // An attended transfer: the far end of `call` is handed to the far end of `consultation`
    // (connected, on any SIP line) with REFER whose Refer-To carries Replaces of that dialog.
    void TransferAttended(std::uint64_t call, std::uint64_t consultation);
    // Directed pickup: our call `call` to the caller of a colleague's ringing call, an INVITE with
    // Replaces (early-only) of the caller's dialog; the caller's phone drops its ringing call and
    // answers ours. Progress, Answered and Failed events follow as for Dial.
    void Pickup(DWORD line, std::uint64_t call, const RingingCall& ringing);
    // The colleagues' lines the line watches from now on (each address once; none: stop watching).
    void Watch(DWORD line, std::vector<std::string> addresses);

    std::vector<SipEvent> TakeEvents();
    // Whether an application owns calls of the line (has it open as owner): a line without one
    // refuses callers with 480, since nobody could answer them.
    void SetOwned(DWORD line, bool owned);
    bool Owned(DWORD line) const;
    // Ends the stack's thread (after BYE, CANCEL and un-REGISTER went out); commands are then
    // ignored. Also run at process exit.
    void StopThread();

private:
    struct Command {
        enum class Kind {
            Dial,
            Pickup,
            Answer,
            Hangup,
            Hold,
            Unhold,
            Transfer,
            TransferAttended,
            Watch,
            Stop
        } kind;
        DWORD line = 0;
        std::uint64_t call = 0;
        std::string target;
        std::uint64_t other = 0; // TransferAttended: the consultation call
        std::vector<std::string> addresses{}; // Watch
        std::string replaces{}; // Pickup: the Replaces header's value; `target` is the caller
    };
    class Stack;

    void Push(Command command);
    void ThreadMain(std::vector<LineSetup> lines);
    static void OnWake(int id, void* data, void* arg);
    void RunCommands();

    std::mutex m_mutex;
    std::deque<Command> m_commands;
    std::deque<SipEvent> m_events;
    std::function<void()> m_onEvent;
    mqueue* m_wake = nullptr;
    std::unique_ptr<Stack> m_stack; // lives on the thread
    std::array<std::atomic<bool>, kMaxLines> m_owned{};
    std::mutex m_joinMutex;
    std::thread m_thread;

    friend class SipLine;
    friend class DialogWatch;
    void Post(SipEvent event);
    // A number for a new incoming call, unique among all lines (commands name calls, not lines).
    std::uint64_t NewIncomingCallId() { return kIncomingCall | ++m_lastIncoming; }
    static constexpr std::uint64_t kIncomingCall = std::uint64_t(1) << 63;
    std::uint64_t m_lastIncoming = 0; // the stack's thread only
};

// Reads the password file of a SIP account: a regular file of at most 4 KiB that only its owner
// may read; the first line is the password. False with the reason in `error` otherwise.
bool ReadSipPassword(const std::string& path, std::string& password, std::string& error);

} // namespace tapi
