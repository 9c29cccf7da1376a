#pragma once

#include "platform/real_time_pump.h"
#include "platform/wave_devices.h"

#include <vector>

namespace platform {

// Always present: delivers silence in real time.
class SilentWaveIn : public WaveInDevice {
public:
    std::string Name() const override;
    MMRESULT Start(const PcmFormat& format, Deliver deliver) override;
    void Stop() override;

private:
    RealTimePump m_pump;
};

// The name both silent devices carry in the lists.
inline constexpr const char* kSilentDeviceName = "Silent Audio Device";

} // namespace platform
