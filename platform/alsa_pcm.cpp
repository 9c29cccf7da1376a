#include "platform/alsa_pcm.h"

#include <vector>

namespace platform {

namespace {

constexpr unsigned kLatencyUs = 100000;
constexpr unsigned kPeriodsPerSecond = 50;

} // namespace

AlsaPcm::AlsaPcm(std::string device, snd_pcm_stream_t stream)
    : m_device(std::move(device))
    , m_stream(stream)
{
}

AlsaPcm::~AlsaPcm()
{
    Stop();
}

MMRESULT AlsaPcm::Start(const PcmFormat& format, Period period)
{
    Stop();
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, m_device.c_str(), m_stream, 0) < 0)
        return MMSYSERR_ALLOCATED;
    m_pcm.reset(pcm);
    const snd_pcm_format_t sampleFormat = format.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    if ((format.bits != 8 && format.bits != 16)
        || snd_pcm_set_params(
               pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.channels, format.rate, 1, kLatencyUs)
            < 0) {
        m_pcm.reset();
        return WAVERR_BADFORMAT;
    }
    m_stop = false;
    m_thread = std::thread([this, format, period = std::move(period)] { Run(format, period); });
    return MMSYSERR_NOERROR;
}

void AlsaPcm::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_pcm)
        snd_pcm_drop(m_pcm.get());
    m_pcm.reset();
}

void AlsaPcm::Run(const PcmFormat& format, const Period& period)
{
    const snd_pcm_uframes_t frames = std::max<snd_pcm_uframes_t>(1, format.rate / kPeriodsPerSecond);
    std::vector<std::uint8_t> buffer(frames * format.BlockAlign());
    snd_pcm_t* pcm = m_pcm.get();
    while (!m_stop) {
        if (m_stream == SND_PCM_STREAM_PLAYBACK)
            period(buffer.data(), buffer.size());
        const snd_pcm_sframes_t moved = m_stream == SND_PCM_STREAM_CAPTURE
            ? snd_pcm_readi(pcm, buffer.data(), frames)
            : snd_pcm_writei(pcm, buffer.data(), frames);
        // An overrun or underrun is recovered; a device that went away ends the stream.
        if (moved < 0 && snd_pcm_recover(pcm, int(moved), 1) < 0)
            return;
        if (moved > 0 && m_stream == SND_PCM_STREAM_CAPTURE)
            period(buffer.data(), std::size_t(moved) * format.BlockAlign());
    }
}

} // namespace platform
