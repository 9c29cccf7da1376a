#include "platform/wave_audio.h"

#include <algorithm>
#include <cstring>

namespace platform {

WaveAudio::~WaveAudio()
{
    StopDevice();
}

MCIERROR WaveAudio::Open(const std::string& path)
{
    StopDevice();
    return path.empty() ? MCIERR_FILENAME_REQUIRED : m_file.Open(path);
}

MCIERROR WaveAudio::SetOutput(UINT deviceId)
{
    const std::size_t index = deviceId == WAVE_MAPPER ? 0 : deviceId;
    if (index >= WaveDeviceList::Instance().OutputCount())
        return MCIERR_OUTOFRANGE;
    m_outputId = deviceId;
    return MMSYSERR_NOERROR;
}

std::uint32_t WaveAudio::Length() const
{
    return m_file.Rate() ? std::uint32_t(m_file.Frames() * 1000 / m_file.Rate()) : 0;
}

std::uint64_t WaveAudio::ToFrames(std::uint32_t ms) const
{
    return std::uint64_t(ms) * m_file.Rate() / 1000;
}

std::uint32_t WaveAudio::Position()
{
    if (m_ended)
        return Length();
    std::lock_guard lock(m_mutex);
    return m_file.Rate() ? std::uint32_t(m_frame * 1000 / m_file.Rate()) : 0;
}

DWORD WaveAudio::Mode()
{
    if (m_ended)
        StopDevice();
    if (m_playing)
        return MCI_MODE_PLAY;
    return m_paused ? MCI_MODE_PAUSE : MCI_MODE_STOP;
}

MCIERROR WaveAudio::Play(const std::uint32_t* fromMs)
{
    if (!m_file.Channels())
        return MCIERR_DEVICE_NOT_READY;
    const std::uint32_t from = fromMs ? *fromMs : Position();
    StopDevice();
    if (const MCIERROR error = Seek(from))
        return error;
    m_device = WaveDeviceList::Instance().Output(m_outputId == WAVE_MAPPER ? 0 : m_outputId);
    if (!m_device)
        return MCIERR_WAVE_SETOUTPUTUNSUITABLE;
    auto render = [this](std::uint8_t* data, std::size_t bytes) { return Render(data, bytes); };
    m_deviceFormat = { m_file.Rate(), 16, std::uint16_t(std::min<std::size_t>(m_file.Channels(), 2)) };
    MMRESULT result = m_device->Start(m_deviceFormat, render);
    if (result == WAVERR_BADFORMAT) {
        m_deviceFormat = PcmFormat{};
        result = m_device->Start(m_deviceFormat, render);
    }
    if (result != MMSYSERR_NOERROR)
        return MCIERR_WAVE_OUTPUTSINUSE;
    m_playing = true;
    m_paused = false;
    return MMSYSERR_NOERROR;
}

MCIERROR WaveAudio::Pause()
{
    if (!m_file.Channels())
        return MCIERR_DEVICE_NOT_READY;
    if (m_playing && !m_ended) {
        StopDevice();
        m_paused = true;
    }
    return MMSYSERR_NOERROR;
}

MCIERROR WaveAudio::Resume()
{
    if (!m_paused)
        return MMSYSERR_NOERROR;
    return Play(nullptr);
}

MCIERROR WaveAudio::Seek(std::uint32_t toMs)
{
    if (!m_file.Channels())
        return MCIERR_DEVICE_NOT_READY;
    if (toMs > Length())
        return MCIERR_OUTOFRANGE;
    StopDevice();
    m_paused = false;
    m_ended = false;
    std::lock_guard lock(m_mutex);
    m_frame = std::min(ToFrames(toMs), m_file.Frames());
    m_file.Seek(m_frame);
    m_haveNext = false;
    m_fraction = 0;
    return MMSYSERR_NOERROR;
}

MCIERROR WaveAudio::Stop()
{
    StopDevice();
    m_paused = false;
    return MMSYSERR_NOERROR;
}

void WaveAudio::SetCompletion(Completion completion)
{
    m_completion = std::move(completion);
}

// Must not run while the render callback holds m_mutex: the device waits for the callback.
void WaveAudio::StopDevice()
{
    if (m_device)
        m_device->Stop();
    m_device.reset();
    m_playing = false;
}

// Runs on the device's thread.
std::size_t WaveAudio::Render(std::uint8_t* data, std::size_t bytes)
{
    const std::size_t channels = m_deviceFormat.channels;
    const std::size_t frames = bytes / (2 * channels);
    std::int16_t out[8];
    std::size_t done = 0;
    {
        std::lock_guard lock(m_mutex);
        for (; done < frames; ++done) {
            if (!m_haveNext && !NextFrame())
                break;
            OutputFrame(out);
            std::memcpy(data + done * 2 * channels, out, 2 * channels);
        }
    }
    if (done < frames && !m_ended.exchange(true))
        ReachedEnd();
    return done * 2 * channels;
}

// Loads the source frames around the output point; false at the end of the file.
bool WaveAudio::NextFrame()
{
    if (!m_haveNext) {
        if (!m_file.ReadFrame(m_current.data()))
            return false;
        m_next = m_current;
        m_file.ReadFrame(m_next.data());
        m_haveNext = true;
    }
    return true;
}

// One output frame by linear interpolation, then steps the source position by the rate ratio.
void WaveAudio::OutputFrame(std::int16_t* out)
{
    const std::size_t in = m_file.Channels();
    const std::size_t channels = m_deviceFormat.channels;
    for (std::size_t c = 0; c < channels; ++c) {
        const auto at = [&](const std::array<std::int16_t, 8>& frame) {
            if (channels == 1 && in > 1) {
                int sum = 0;
                for (std::size_t k = 0; k < in; ++k)
                    sum += frame[k];
                return double(sum) / double(in);
            }
            return double(frame[std::min(c, in - 1)]);
        };
        out[c] = std::int16_t(at(m_current) + (at(m_next) - at(m_current)) * m_fraction);
    }
    m_fraction += double(m_file.Rate()) / m_deviceFormat.rate;
    while (m_fraction >= 1.0 && m_haveNext) {
        m_fraction -= 1.0;
        ++m_frame;
        m_current = m_next;
        if (m_frame >= m_file.Frames())
            m_haveNext = false;
        else if (!m_file.ReadFrame(m_next.data()))
            m_next = m_current;
    }
}

void WaveAudio::ReachedEnd()
{
    if (m_completion)
        m_completion();
}

} // namespace platform
