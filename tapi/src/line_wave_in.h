#pragma once

#include "platform/wave_devices.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tapi {

// A line's capture device: what the exchange hears on the line, handed over on the exchange clock
// as 8,000 Hz 16-bit mono. `onStart` runs after an application started it (the exchange clock
// then moves audio again).
class LineWaveIn : public platform::WaveInDevice {
public:
    LineWaveIn(std::string name, std::function<void()> onStart);

    std::string Name() const override { return m_name; }
    MMRESULT Start(const platform::PcmFormat& format, Deliver deliver) override;
    void Stop() override;

    // Exchange clock: one block of line audio.
    void Feed(const std::int16_t* samples, std::size_t count);
    // Takes no lock, so the exchange may ask while it holds its own.
    bool IsStarted() const { return m_started; }

private:
    // Recursive: a deliver callback may stop its own device.
    std::recursive_mutex m_mutex;
    std::string m_name;
    Deliver m_deliver;
    std::atomic<bool> m_started{ false };
    std::function<void()> m_onStart;
};

// The one format the line devices carry.
bool IsLineFormat(const platform::PcmFormat& format);

} // namespace tapi
