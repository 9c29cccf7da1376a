#pragma once

#include "platform/wave_devices.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tapi {

// A line's playback device: the exchange pulls what the application plays down the line on its
// clock; the far end hears it. `onStart` runs after an application started it.
class LineWaveOut : public platform::WaveOutDevice {
public:
    LineWaveOut(std::string name, std::function<void()> onStart);

    std::string Name() const override { return m_name; }
    MMRESULT Start(const platform::PcmFormat& format, Render render) override;
    void Stop() override;

    // Exchange clock: fills `count` samples, silence where the application has nothing.
    void Pull(std::int16_t* samples, std::size_t count);
    // Takes no lock, so the exchange may ask while it holds its own.
    bool IsStarted() const { return m_started; }

private:
    std::recursive_mutex m_mutex;
    std::string m_name;
    Render m_render;
    std::atomic<bool> m_started{ false };
    std::function<void()> m_onStart;
};

} // namespace tapi
