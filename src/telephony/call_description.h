#pragma once

#include "tapi/include/tapi.h"

#include <cstdint>
#include <string>
#include <string_view>

// Image indices of the call-state image list.
namespace CallImage {
inline constexpr int kIdle = 0;
inline constexpr int kBusy = 2;
inline constexpr int kDial = 3;
inline constexpr int kDialtone = 4;
inline constexpr int kFax = 5;
inline constexpr int kHold = 6;
inline constexpr int kIncome = 7;
inline constexpr int kLine = 8;
inline constexpr int kNoAnswer = 9;
inline constexpr int kRinging = 10;
inline constexpr int kTalk = 11;
inline constexpr int kTransfer = 12;
inline constexpr int kInConference = 13;
inline constexpr int kUnknown = 14;
inline constexpr int kVoicemail = 25;
} // namespace CallImage

// What a call looks like in the call tree, the pop-ups and "Select call:".
struct CallDescription {
    std::string text = "No data";
    DWORD deviceId = 0;
    int image = CallImage::kUnknown;
    DWORD state = LINECALLSTATE_UNKNOWN;
};

// The slot's view of the call being described.
struct CallRole {
    bool isSetupCall = false;
    bool voiceMail = false;
    // The call's recording is paused.
    bool recordingPaused = false;
};

// How an outgoing call that never connected ended: "Busy", "No answer", "Refused" or
// "Call failed: <reason>", with the image its row keeps for a while after the call has gone.
struct CallOutcome {
    std::string party;
    std::string text;
    int image = CallImage::kNoAnswer;

    // "5551234 (Busy)" for the call tree, "5551234: Busy" for the status bar.
    std::string RowText() const;
    std::string StatusText() const;
};

// The caller-id facts of LINECALLINFO that the texts are made of.
struct CallParty {
    DWORD origin = LINECALLORIGIN_UNKNOWN;
    DWORD callerIdFlags = 0;
    std::string_view callerName; // as TAPI reports them, terminator not included
    std::string_view callerNumber;
    std::string_view calledParty;
    std::string_view displayableAddress;
    // The party the far end transferred the call to (connected id of a redirected call), if any.
    std::string_view transferredTo;
};

namespace CallText {

// Incoming origins: INTERNAL, EXTERNAL, INBOUND.
bool IsIncomingOrigin(DWORD origin);
// ONHOLD, ONHOLDPENDTRANSFER and ONHOLDPENDCONF: the call is held.
bool IsHeldState(DWORD state);
// The party text of the description: the called party and address of a placed call, or the
// caller-id of an incoming one ("[Blocked]", "[Out Of Area]", the name, then ",number").
std::string PartyText(const CallParty& party);
// The state text (" (Connected)") and image, for a call that the program owns.
void AppendState(
    DWORD state, DWORD stateMode, DWORD origin, DWORD mediaMode, CallRole role, CallDescription& out);
// The caller-number text without its leading blanks.
std::string_view SkipBlanks(std::string_view text);
// The outcome of an outgoing call that meets BUSY or DISCONNECTED (with its state mode) before it
// connected; false for a normal end, which is no outcome to report.
bool Outcome(DWORD state, DWORD stateMode, CallOutcome& out);
// A running call time: "0:42", "12:05", "1:02:03".
std::string Duration(std::uint64_t milliseconds);

} // namespace CallText
