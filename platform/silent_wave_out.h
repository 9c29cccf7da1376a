#pragma once

#include "platform/real_time_pump.h"
#include "platform/wave_devices.h"
#include "platform/wave_out_volume.h"

#include <atomic>

namespace platform {

// Always present: takes audio in real time and discards it; its volume is kept in software.
class SilentWaveOut : public WaveOutDevice, public WaveOutVolume {
public:
    std::string Name() const override;
    MMRESULT Start(const PcmFormat& format, Render render) override;
    void Stop() override;

    MMRESULT GetVolume(DWORD& left, DWORD& right) override;
    MMRESULT SetVolume(DWORD left, DWORD right) override;

private:
    RealTimePump m_pump;
    std::atomic<DWORD> m_left{ 0xFFFF };
    std::atomic<DWORD> m_right{ 0xFFFF };
};

} // namespace platform
