#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The complete table of the program's registry values with the buffer sizes their readers use and
// their defaults. Names with "%d" are formed per item with a 1-based number (IndexedName); text
// defaults with "%s" take a folder (FormatDefault).
namespace Settings {

struct NumberValue {
    std::string_view name;
    std::int32_t def;
};

struct TextValue {
    std::string_view name;
    std::size_t buffer;
    std::string_view def;
};

struct BlockValue {
    std::string_view name;
    std::size_t size;
};

// Folders and files; "%s" is the data folder, for the two files the general recordings folder.
inline constexpr TextValue kCallRecordingsPath{"Call Recordings Path", 260, "%s/CallRecordings"};
inline constexpr TextValue kGeneralRecordingsPath{"General Recordings Path", 260, "%s/MiscRecordings"};
inline constexpr TextValue kDeletedPath{"Deleted Path", 260, "%s/Deleted"};
inline constexpr TextValue kVoicemailPath{"Voicemail Path", 260, "%s/VoiceMail"};
inline constexpr TextValue kOgmFile{"OGM file", 260, "%s/ogm.wav"};
inline constexpr TextValue kBeepFile{"Beep file", 260, "%s/beep.wav"};

inline constexpr NumberValue kVoicemailOn{"Voicemail On", 1};
inline constexpr NumberValue kAnswerAfter{"Answer after", 3};
inline constexpr TextValue kRecordingFormat{"Recording Format", 200, "PCM , 8.000 kHz, 16 Bit, Mono"};
inline constexpr NumberValue kUseCompression{"Use Compression", 0};
inline constexpr NumberValue kAutoRecordCalls{"Auto record calls", 0};
inline constexpr NumberValue kPlayBeepWhenRecording{"Play beep when recording", 1};
inline constexpr NumberValue kPlayBeepFromFile{"Play beep from file", 0};

inline constexpr NumberValue kStartInTab{"Start in tab", 0};
inline constexpr NumberValue kLastTab{"Last tab", 0};
inline constexpr BlockValue kPlacement{"Placement", 44};
inline constexpr BlockValue kDefaultLine{"Default line", 4};
inline constexpr BlockValue kLastSearchString{"Last search string", 100};
inline constexpr NumberValue kCallLogColumn1Width{"Call log coloumn 1 width", 162};
inline constexpr NumberValue kCallLogColumn2Width{"Call log coloumn 2 width", 59};
inline constexpr NumberValue kCallLogColumn3Width{"Call log coloumn 3 width", 57};

inline constexpr NumberValue kDropIncomingMeansIgnore{"Drop incoming means ignore", 1};
inline constexpr NumberValue kIsSystemDialer{"IsSystemDialer", 1};
inline constexpr TextValue kPlayTo{"Play to", 210, "*"};
inline constexpr TextValue kRecordFrom{"Record from", 210, "*"};
inline constexpr NumberValue kMissedCallsViewedAt{"Missed Calls Viewed At", 0};

// The shared address book (CardDAV): the server URL and user; the password is kept in the
// desktop's secret store, never here. No URL: no shared address book.
inline constexpr TextValue kAddressBookUrl{"Address book URL", 1024, ""};
inline constexpr TextValue kAddressBookUser{"Address book user", 256, ""};

// Per-item values: lines 1 to 6, macro buttons 1 to 4.
inline constexpr NumberValue kLineHeadset{"Line%d headset", -1};
inline constexpr TextValue kMacroName{"Macro %d name", 100, "Macro %d"};
inline constexpr TextValue kMacroNumber{"Macro %d number", 100, ""};
inline constexpr int kLineCount = 6;
inline constexpr int kMacroCount = 4;

// The operating system's telephony hand-off key, used only by the system-dialer hand-off.
inline constexpr std::string_view kHandoffKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\HandoffPriorities";
inline constexpr TextValue kRequestMakeCall{"RequestMakeCall", 260, ""};
inline constexpr TextValue kRequestMediaCall{"RequestMediaCall", 260, ""};
inline constexpr TextValue kSavedRequestMakeCall{":RequestMakeCall", 260, ""};
inline constexpr TextValue kSavedRequestMediaCall{":RequestMediaCall", 260, ""};

// "Macro %d name" with 4 gives "Macro 4 name": every "%d" becomes the number, no leading zeros.
std::string IndexedName(std::string_view pattern, int number);
// "%s/ogm.wav" with "/data/MiscRecordings" gives "/data/MiscRecordings/ogm.wav".
std::string FormatDefault(std::string_view pattern, std::string_view folder);

}  // namespace Settings
