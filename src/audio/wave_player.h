#pragma once

#include "audio/audio_result.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace platform {
class WaveAudio;
}

// Told when a file started with WaveRecorder::Play has played to its end. Called on the playback
// device's thread: a window hands it over to its own thread before touching widgets, and must not
// wait there for its own thread (SetPlaybackObserver waits for a call in progress).
class PlaybackObserver {
public:
    virtual ~PlaybackObserver() = default;
    virtual void PlaybackComplete() = 0;
};

// Playback of one WAVE file at a time on a wave-out device, through one "waveaudio" element.
class WavePlayer {
public:
    WavePlayer();
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    AudioResult Play(const char* path, std::uint32_t startMs, std::int16_t waveOutDevice);
    AudioResult GetFileLength(const char* path, std::uint32_t* lengthMs);
    AudioResult GetPosition(std::uint32_t* positionMs);
    AudioResult Seek(std::uint32_t positionMs, bool playOn);
    AudioResult Pause();
    AudioResult Resume();
    AudioResult Close();
    void SetObserver(PlaybackObserver* observer);
    std::uint32_t Session() const { return m_session; }

private:
    void NotifyComplete();
    void CloseDevice();

    std::unique_ptr<platform::WaveAudio> m_device;
    std::uint32_t m_session = 0;
    // Set on the window thread, called on the playback device's thread.
    std::mutex m_observerMutex;
    PlaybackObserver* m_observer = nullptr;
};
