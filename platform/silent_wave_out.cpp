#include "platform/silent_wave_out.h"

#include "platform/silent_wave_in.h"

#include <vector>

namespace platform {

std::string SilentWaveOut::Name() const
{
    return kSilentDeviceName;
}

MMRESULT SilentWaveOut::Start(const PcmFormat& format, Render render)
{
    const std::size_t blockAlign = format.BlockAlign();
    m_pump.Start(format.rate,
        [render = std::move(render), blockAlign, buffer = std::vector<std::uint8_t>()](
            std::size_t frames) mutable {
            buffer.resize(frames * blockAlign);
            render(buffer.data(), buffer.size());
        });
    return MMSYSERR_NOERROR;
}

void SilentWaveOut::Stop()
{
    m_pump.Stop();
}

MMRESULT SilentWaveOut::GetVolume(DWORD& left, DWORD& right)
{
    left = m_left;
    right = m_right;
    return MMSYSERR_NOERROR;
}

MMRESULT SilentWaveOut::SetVolume(DWORD left, DWORD right)
{
    m_left = left & 0xFFFF;
    m_right = right & 0xFFFF;
    return MMSYSERR_NOERROR;
}

} // namespace platform
