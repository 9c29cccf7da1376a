#include "platform/silent_wave_in.h"

namespace platform {

std::string SilentWaveIn::Name() const
{
    return kSilentDeviceName;
}

MMRESULT SilentWaveIn::Start(const PcmFormat& format, Deliver deliver)
{
    // 8-bit PCM is unsigned: its silence is 0x80.
    const std::uint8_t silence = format.bits == 8 ? 0x80 : 0;
    const std::size_t blockAlign = format.BlockAlign();
    m_pump.Start(format.rate,
        [deliver = std::move(deliver), silence, blockAlign, buffer = std::vector<std::uint8_t>()](
            std::size_t frames) mutable {
            buffer.assign(frames * blockAlign, silence);
            deliver(buffer.data(), buffer.size());
        });
    return MMSYSERR_NOERROR;
}

void SilentWaveIn::Stop()
{
    m_pump.Stop();
}

} // namespace platform
