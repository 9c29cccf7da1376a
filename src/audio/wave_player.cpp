#include "audio/wave_player.h"

#include "platform/wave_audio.h"

namespace {

constexpr AudioResult kNoDevice = AudioResult::Platform(MCIERR_INVALID_DEVICE_ID);

} // namespace

WavePlayer::WavePlayer() = default;

WavePlayer::~WavePlayer()
{
    Close();
}

AudioResult WavePlayer::Play(const char* path, std::uint32_t startMs, std::int16_t waveOutDevice)
{
    CloseDevice();
    if (!path)
        return AudioError::InvalidPath;
    auto device = std::make_unique<platform::WaveAudio>();
    if (const MCIERROR error = device->Open(path))
        return AudioResult::Platform(error);
    device->SetOutput(UINT(std::int32_t(waveOutDevice)));
    device->SetCompletion([this] { NotifyComplete(); });
    if (const MCIERROR error = device->Play(&startMs))
        return AudioResult::Platform(error);
    m_device = std::move(device);
    ++m_session;
    return {};
}

AudioResult WavePlayer::GetFileLength(const char* path, std::uint32_t* lengthMs)
{
    CloseDevice();
    if (!lengthMs)
        return AudioError::MissingOutParameter;
    platform::WaveAudio device;
    if (!path || device.Open(path) != MMSYSERR_NOERROR)
        return AudioError::UnreadableFile;
    *lengthMs = device.Length();
    return {};
}

AudioResult WavePlayer::GetPosition(std::uint32_t* positionMs)
{
    if (!positionMs)
        return AudioError::MissingOutParameter;
    if (!m_device)
        return kNoDevice;
    *positionMs = m_device->Position();
    return {};
}

AudioResult WavePlayer::Seek(std::uint32_t positionMs, bool playOn)
{
    if (!m_device)
        return kNoDevice;
    const MCIERROR result = m_device->Seek(positionMs);
    if (playOn)
        m_device->Play(nullptr);
    return AudioResult::Platform(result);
}

AudioResult WavePlayer::Pause()
{
    if (m_device)
        m_device->Pause();
    return {};
}

AudioResult WavePlayer::Resume()
{
    if (!m_device)
        return kNoDevice;
    const DWORD mode = m_device->Mode();
    if (mode == MCI_MODE_PLAY)
        return AudioError::AlreadyPlaying;
    if (mode == MCI_MODE_PAUSE)
        return AudioResult::Platform(m_device->Resume());
    const std::uint32_t position = m_device->Position();
    return AudioResult::Platform(m_device->Play(&position));
}

AudioResult WavePlayer::Close()
{
    if (m_device)
        m_device->Stop();
    CloseDevice();
    return {};
}

void WavePlayer::CloseDevice()
{
    m_device.reset();
    ++m_session;
}

// Once this returns, the observer it replaced is never called again.
void WavePlayer::SetObserver(PlaybackObserver* observer)
{
    std::lock_guard lock(m_observerMutex);
    m_observer = observer;
}

// Runs on the playback device's thread.
void WavePlayer::NotifyComplete()
{
    std::lock_guard lock(m_observerMutex);
    if (m_observer)
        m_observer->PlaybackComplete();
}
