#pragma once

#include <cstdint>
#include <optional>

// The audio engine's own failures, each with its own value.
enum class AudioError : std::uint8_t {
    RecordingInProgress, // start, or a format change, while recording
    NotRecording, // stop, pause or resume of capture while idle
    AlreadyPaused,
    NotPaused,
    UnknownTarget, // Pause and Resume take only the playback or the capture target
    InvalidPath, // missing, or longer than a target path may be
    MissingOutParameter,
    BufferTooSmall,
    FormatNotFound,
    NothingCaptured, // the recording held no audio; its file is removed
    UnreadableFile, // a file whose length cannot be measured
    AlreadyPlaying,
    VolumeOutOfRange,
};

// The result of an engine operation: success, one of the engine's own errors, or the error code of
// the multimedia service that failed (MMSYSERR_*, MMIOERR_*, MCIERR_*, MIXERR_*, ACMERR_*).
class AudioResult {
public:
    constexpr AudioResult() = default;
    constexpr AudioResult(AudioError error)
        : m_error(error)
    {
    }
    // A code of 0 is success.
    static constexpr AudioResult Platform(std::uint32_t code)
    {
        AudioResult result;
        result.m_platformCode = code;
        return result;
    }

    constexpr bool Ok() const { return !m_error && m_platformCode == 0; }
    constexpr std::optional<AudioError> Error() const { return m_error; }
    // 0 unless the multimedia service failed.
    constexpr std::uint32_t PlatformCode() const { return m_platformCode; }

    constexpr bool operator==(const AudioResult&) const = default;

private:
    std::optional<AudioError> m_error;
    std::uint32_t m_platformCode = 0;
};
