#pragma once

#include "store/call_time.h"

#include <cstdint>
#include <string>
#include <string_view>

// Call type codes, the low 7 bits of CallLogEntry::type.
inline constexpr std::int32_t kCallTypeMissed = 0;
inline constexpr std::int32_t kCallTypeIncoming = 1;
inline constexpr std::int32_t kCallTypeOutgoing = 2;
inline constexpr std::int32_t kCallTypeConference = 3;
inline constexpr std::int32_t kCallTypeVoicemail = 4;
inline constexpr std::int32_t kCallTypeMask = 0x7F;
// Bit 7 of the type word: the entry is in the deleted view.
inline constexpr std::int32_t kDeletedFlag = 128;

// One finished call of the call log.
struct CallLogEntry {
    CallTime startTime;
    CallTime endTime;
    std::string callerName;
    std::string number; // the number, or a caller-id placeholder such as "[Blocked]"
    std::string note; // full path of the note file; empty without a note
    std::string recordingPath; // file URI of the recording (see RecordingPath); empty without one
    std::int32_t type = kCallTypeMissed;
    std::string reservedText; // carried through loading and saving, never used
    std::int32_t reservedValue = 0;

    std::int32_t TypeCode() const { return type & kCallTypeMask; }
    bool IsDeleted() const { return (type & kDeletedFlag) != 0; }

    // callerName when it is not empty, else number.
    const std::string& NameOrNumber() const;
    // True while the first character of recordingPath is an ASCII capital letter.
    bool IsUnheard() const;
    // Raises (unheard) or lowers (heard) the first character when it is an ASCII letter.
    void SetUnheard(bool unheard);
    // The call's length as hh:mm:ss, each part at least two digits ("01:02:05"); "00:00:00" when a
    // time is not a valid date-time or the call ends before it starts.
    std::string DurationText() const;
};
