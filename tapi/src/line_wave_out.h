#pragma once

#include "platform/wave_devices.h"

#include <cstdint>
#include <mutex>

namespace tapi {

// A line's playback device: the exchange pulls what the application plays down the line on its
// clock; the far end hears it.
class LineWaveOut : public platform::WaveOutDevice {
public:
    explicit LineWaveOut(std::string name);

    std::string Name() const override { return m_name; }
    MMRESULT Start(const platform::PcmFormat& format, Render render) override;
    void Stop() override;

    // Exchange clock: fills `count` samples, silence where the application has nothing.
    void Pull(std::int16_t* samples, std::size_t count);

private:
    std::recursive_mutex m_mutex;
    std::string m_name;
    Render m_render;
};

} // namespace tapi
