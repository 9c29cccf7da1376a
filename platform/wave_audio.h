#pragma once

#include "platform/mci.h"
#include "platform/wave_devices.h"
#include "platform/wave_file_reader.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

// One open "waveaudio" element: a WAVE file played on a wave-out device, with times in
// milliseconds. Playback runs on the device's clock; every other call comes from one thread.
// The file is decoded as it plays and converted to what the device takes (its own rate and channels
// where the device accepts them, else 8 kHz 16-bit mono).
class WaveAudio {
public:
    using Completion = std::function<void()>;

    WaveAudio() = default;
    ~WaveAudio();
    WaveAudio(const WaveAudio&) = delete;
    WaveAudio& operator=(const WaveAudio&) = delete;

    MCIERROR Open(const std::string& path);
    // The wave-out device to play on (WAVE_MAPPER: device 0).
    MCIERROR SetOutput(UINT deviceId);
    std::uint32_t Length() const;
    std::uint32_t Position();
    DWORD Mode();
    // Plays from `fromMs`, or from the current position when it is null.
    MCIERROR Play(const std::uint32_t* fromMs);
    MCIERROR Pause();
    MCIERROR Resume();
    // Stops and moves to `toMs`.
    MCIERROR Seek(std::uint32_t toMs);
    MCIERROR Stop();
    // Called once on the device's thread when playback reaches the end of the file.
    void SetCompletion(Completion completion);

private:
    std::size_t Render(std::uint8_t* data, std::size_t bytes);
    bool NextFrame();
    void OutputFrame(std::int16_t* out);
    void StopDevice();
    void ReachedEnd();
    std::uint64_t ToFrames(std::uint32_t ms) const;

    WaveFileReader m_file;
    UINT m_outputId = WAVE_MAPPER;
    std::shared_ptr<WaveOutDevice> m_device;
    PcmFormat m_deviceFormat;
    std::atomic<bool> m_playing{ false };
    std::atomic<bool> m_ended{ false };
    bool m_paused = false;
    Completion m_completion;

    // Resampling state, guarded by m_mutex: the two source frames around the output point.
    std::mutex m_mutex;
    std::array<std::int16_t, 8> m_current{};
    std::array<std::int16_t, 8> m_next{};
    bool m_haveNext = false;
    double m_fraction = 0;
    std::uint64_t m_frame = 0;
};

} // namespace platform
