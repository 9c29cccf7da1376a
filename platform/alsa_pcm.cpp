#include "platform/alsa_pcm.h"

#include <cerrno>
#include <vector>

namespace platform {

namespace {

constexpr unsigned kLatencyUs = 100000;
constexpr unsigned kPeriodsPerSecond = 50;
// The stream thread looks at the stop flag at least this often, even when the device stalls.
constexpr int kWaitMs = 100;

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
    if (snd_pcm_open(&pcm, m_device.c_str(), m_stream, SND_PCM_NONBLOCK) < 0)
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
    // Capture runs from here on; playback starts with its first write.
    if (m_stream == SND_PCM_STREAM_CAPTURE)
        snd_pcm_start(pcm);
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

// The recovery prepares the stream again. Playback starts with its next write, but nothing is read
// from a prepared capture stream, so capture is started here or it would stay silent for good.
bool AlsaPcm::Recover(snd_pcm_t* pcm, int error)
{
    if (snd_pcm_recover(pcm, error, 1) < 0)
        return false;
    return snd_pcm_stream(pcm) != SND_PCM_STREAM_CAPTURE || snd_pcm_state(pcm) != SND_PCM_STATE_PREPARED
        || snd_pcm_start(pcm) == 0;
}

// The device is open without blocking: the thread waits for a period's room or data with a
// timeout, so Stop never waits on a stalled device for long.
void AlsaPcm::Run(const PcmFormat& format, const Period& period)
{
    const snd_pcm_uframes_t frames = std::max<snd_pcm_uframes_t>(1, format.rate / kPeriodsPerSecond);
    std::vector<std::uint8_t> buffer(frames * format.BlockAlign());
    snd_pcm_t* pcm = m_pcm.get();
    const bool capture = m_stream == SND_PCM_STREAM_CAPTURE;
    while (!m_stop) {
        const int ready = snd_pcm_wait(pcm, kWaitMs);
        const snd_pcm_sframes_t available = ready < 0 ? ready : snd_pcm_avail_update(pcm);
        // An overrun or underrun is recovered; a device that went away ends the stream.
        if (available < 0) {
            if (!Recover(pcm, int(available)))
                return;
            continue;
        }
        if (snd_pcm_uframes_t(available) < (capture ? 1 : frames))
            continue;
        if (!capture)
            period(buffer.data(), buffer.size());
        const snd_pcm_sframes_t moved = capture ? snd_pcm_readi(pcm, buffer.data(), frames)
                                                : snd_pcm_writei(pcm, buffer.data(), frames);
        if (moved < 0 && moved != -EAGAIN && !Recover(pcm, int(moved)))
            return;
        if (moved > 0 && capture)
            period(buffer.data(), std::size_t(moved) * format.BlockAlign());
    }
}

} // namespace platform
