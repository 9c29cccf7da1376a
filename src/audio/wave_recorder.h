#pragma once

#include "audio/audio_result.h"
#include "audio/mixer_volume.h"
#include "audio/recording_format.h"
#include "audio/wave_capture.h"
#include "audio/wave_player.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// The audio engine: capture from a wave-in device into a WAVE file (optionally compressed buffer by
// buffer), the recording format, playback of WAVE files on a wave-out device, and the volume of
// wave-out device 0. Every operation returns success, an error of the engine, or the error code of
// the multimedia service that failed.
class WaveRecorder {
public:
    // Targets of Pause and Resume.
    static constexpr int kPlaybackTarget = 1;
    static constexpr int kCaptureTarget = 2;

    static constexpr std::size_t kMaxTargetPath = WaveCapture::kMaxTargetPath;

    WaveRecorder() = default;
    WaveRecorder(const WaveRecorder&) = delete;
    WaveRecorder& operator=(const WaveRecorder&) = delete;

    // Capture.
    AudioResult StartRecording(const char* path, std::int16_t deviceId)
    {
        return m_capture->Start(path, deviceId);
    }
    AudioResult StopRecording() { return m_capture->Stop(); }
    AudioResult Pause(int target);
    AudioResult Resume(int target);
    AudioResult GetLevel(std::uint8_t* level) const { return m_capture->GetLevel(level); }
    bool IsRecording() const { return m_capture->IsRecording(); }

    // Several recordings of one device, one at a time: the recording under way is paused and set
    // aside under a key of the caller's choice, its file open and its device free for the next
    // StartRecording. Taking it back (while nothing records) resumes it where it stopped; stopping
    // it finishes its file as StopRecording does.
    AudioResult SetAsideRecording(std::uintptr_t key);
    AudioResult TakeBackRecording(std::uintptr_t key);
    AudioResult StopSetAsideRecording(std::uintptr_t key);
    bool HasSetAsideRecording(std::uintptr_t key) const;
    // Called once, on the capture device's thread, when the recording's file cannot be written any
    // more (full disk, folder gone): the audio from then on is dropped, and StopRecording keeps
    // what was written as a playable file and returns MMIOERR_CANNOTWRITE. Set while not recording.
    void SetWriteFailureHandler(std::function<void()> handler)
    {
        m_writeFailureHandler = std::move(handler);
        m_capture->SetWriteFailureHandler(m_writeFailureHandler);
    }
    // True from such a failure until the next StartRecording.
    bool WriteFailed() const { return m_capture->WriteFailed(); }

    // Recording format; it stays fixed while recording.
    AudioResult FindFormat(const char* description);
    AudioResult ChooseFormat(void* owner);
    AudioResult GetFormatDescription(char* buffer, std::uint32_t size) const
    {
        return m_format.GetDescription(buffer, size);
    }
    void SetCompression(std::uint32_t flag) { m_format.SetCompression(flag); }

    // Playback.
    AudioResult Play(const char* path, std::uint32_t startMs, std::int16_t waveOutDevice)
    {
        return m_player.Play(path, startMs, waveOutDevice);
    }
    AudioResult GetFileLength(const char* path, std::uint32_t* lengthMs)
    {
        return m_player.GetFileLength(path, lengthMs);
    }
    AudioResult GetPosition(std::uint32_t* positionMs) { return m_player.GetPosition(positionMs); }
    AudioResult Seek(std::uint32_t positionMs, bool playOn) { return m_player.Seek(positionMs, playOn); }
    AudioResult ClosePlayback() { return m_player.Close(); }
    void SetPlaybackObserver(PlaybackObserver* observer) { m_player.SetObserver(observer); }
    // Changes whenever the playback device is closed (Play, GetFileLength, ClosePlayback): a
    // window that remembers it after its Play knows the device is still its own while it holds.
    std::uint32_t PlaybackSession() const { return m_player.Session(); }

    // Volume of wave-out device 0, 0 to 65,535 per channel.
    AudioResult GetVolume(std::uint32_t* left, std::uint32_t* right) { return MixerVolume::Get(left, right); }
    AudioResult SetVolume(std::int32_t left, std::int32_t right) { return MixerVolume::Set(left, right); }

private:
    // Destroyed in reverse: playback is closed first, then a recording is stopped, then the
    // conversion stream is closed.
    struct SetAside {
        std::uintptr_t key = 0;
        std::unique_ptr<WaveCapture> capture;
    };

    std::vector<SetAside>::iterator FindSetAside(std::uintptr_t key);
    bool IsAnyRecording() const;

    RecordingFormat m_format;
    std::function<void()> m_writeFailureHandler;
    std::unique_ptr<WaveCapture> m_capture = std::make_unique<WaveCapture>(m_format);
    std::vector<SetAside> m_setAside;
    WavePlayer m_player;
};
