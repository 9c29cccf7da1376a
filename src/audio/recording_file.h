#pragma once

#include "platform/mmsystem.h"

#include <cstdint>
#include <string>

// The WAVE file the recorder writes: "RIFF", a "fmt " chunk of 50 bytes, a "fact" chunk with the
// sample count and the "data" chunk, whose audio starts at byte 90. The header is written before
// the first audio, and its sizes follow the audio while it is captured, so the file plays at any
// moment up to the last update.
namespace RecordingFile {

constexpr std::size_t kFormatBytes = 50;
// Header bytes counted in the RIFF size: "WAVE", "fmt " chunk, "fact" chunk, "data" header.
constexpr DWORD kRiffOverhead = 4 + 8 + kFormatBytes + 8 + 4 + 8;
constexpr DWORD kHeaderBytes = 8 + kRiffOverhead;
// The most audio one file can hold (its RIFF size must fit 32 bits, with a pad byte).
constexpr DWORD kMaxDataBytes = 0xFFFFFFFFu - kRiffOverhead - 1;

// The "fact" sample count of `dataBytes` in the format: block-coded formats count whole blocks,
// the others go by their average bytes per second.
DWORD SampleCount(const WAVEFORMATEX& format, DWORD dataBytes);

// The largest part of `dataBytes` that a player can take as it stands: whole blocks, and an even
// length, so that no pad byte is needed that is not there yet.
DWORD PlayableBytes(const WAVEFORMATEX& format, DWORD dataBytes);

// Writes the header for `dataBytes` of audio at the start of `file`; `format` is the 50 bytes of
// the "fmt " chunk. The file position ends at the start of the audio.
bool WriteHeader(HMMIO file, const std::uint8_t* format, DWORD riffSize, DWORD samples, DWORD dataBytes);

// Rewrites the RIFF size, the sample count and the data size of a file whose header is written,
// then returns to the end of the file.
bool WriteSizes(HMMIO file, DWORD riffSize, DWORD samples, DWORD dataBytes);

enum class RepairResult {
    NotARecording, // missing, unreadable, or not laid out as the recorder writes
    Finished, // the sizes already match the file
    Repaired, // the sizes were brought up to the file's length
    Failed, // a recording whose sizes could not be written
};

struct RepairInfo {
    RepairResult result = RepairResult::NotARecording;
    DWORD dataBytes = 0;
    // The length of the audio the header now describes.
    std::uint32_t lengthMs = 0;
};

// Fixes the header of a recording that was cut off (the program ended, or a write failed) from
// the file's real length, rounded down to what plays; nothing is removed from the file.
RepairInfo Repair(const std::string& path);

} // namespace RecordingFile
