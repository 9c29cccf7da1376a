#include "platform/alsa_wave_in.h"

namespace platform {

AlsaWaveIn::AlsaWaveIn(std::string name, std::string device)
    : m_name(std::move(name))
    , m_pcm(std::move(device), SND_PCM_STREAM_CAPTURE)
{
}

MMRESULT AlsaWaveIn::Start(const PcmFormat& format, Deliver deliver)
{
    return m_pcm.Start(format,
        [deliver = std::move(deliver)](std::uint8_t* data, std::size_t bytes) { deliver(data, bytes); });
}

void AlsaWaveIn::Stop()
{
    m_pcm.Stop();
}

} // namespace platform
