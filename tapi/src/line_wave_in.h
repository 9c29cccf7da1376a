#pragma once

#include "platform/wave_devices.h"

#include <cstdint>
#include <mutex>

namespace tapi {

// A line's capture device: what the exchange hears on the line, handed over on the exchange clock
// as 8,000 Hz 16-bit mono.
class LineWaveIn : public platform::WaveInDevice {
public:
    explicit LineWaveIn(std::string name);

    std::string Name() const override { return m_name; }
    MMRESULT Start(const platform::PcmFormat& format, Deliver deliver) override;
    void Stop() override;

    // Exchange clock: one block of line audio.
    void Feed(const std::int16_t* samples, std::size_t count);
    bool IsStarted();

private:
    // Recursive: a deliver callback may stop its own device.
    std::recursive_mutex m_mutex;
    std::string m_name;
    Deliver m_deliver;
};

// The one format the line devices carry.
bool IsLineFormat(const platform::PcmFormat& format);

} // namespace tapi
