#include "audio/wave_recorder.h"

#include <algorithm>

AudioResult WaveRecorder::Pause(int target)
{
    if (target == kPlaybackTarget)
        return m_player.Pause();
    return target == kCaptureTarget ? m_capture->Pause() : AudioError::UnknownTarget;
}

AudioResult WaveRecorder::Resume(int target)
{
    if (target == kPlaybackTarget)
        return m_player.Resume();
    return target == kCaptureTarget ? m_capture->Resume() : AudioError::UnknownTarget;
}

std::vector<WaveRecorder::SetAside>::iterator WaveRecorder::FindSetAside(std::uintptr_t key)
{
    return std::find_if(
        m_setAside.begin(), m_setAside.end(), [key](const SetAside& entry) { return entry.key == key; });
}

bool WaveRecorder::HasSetAsideRecording(std::uintptr_t key) const
{
    return std::any_of(
        m_setAside.begin(), m_setAside.end(), [key](const SetAside& entry) { return entry.key == key; });
}

// A recording set aside writes the recording format too: it counts as recording.
bool WaveRecorder::IsAnyRecording() const
{
    return m_capture->IsRecording() || !m_setAside.empty();
}

AudioResult WaveRecorder::SetAsideRecording(std::uintptr_t key)
{
    if (!m_capture->IsRecording())
        return AudioError::NotRecording;
    if (HasSetAsideRecording(key))
        return AudioError::RecordingInProgress;
    if (const AudioResult paused = m_capture->Pause(); !paused.Ok() && paused != AudioError::AlreadyPaused)
        return paused;
    if (const AudioResult released = m_capture->ReleaseDevice(); !released.Ok())
        return released;
    m_setAside.push_back({ key, std::exchange(m_capture, std::make_unique<WaveCapture>(m_format)) });
    m_capture->SetWriteFailureHandler(m_writeFailureHandler);
    return {};
}

AudioResult WaveRecorder::TakeBackRecording(std::uintptr_t key)
{
    const auto found = FindSetAside(key);
    if (found == m_setAside.end())
        return AudioError::NotRecording;
    if (m_capture->IsRecording())
        return AudioError::RecordingInProgress;
    m_capture = std::move(found->capture);
    m_setAside.erase(found);
    return m_capture->Resume();
}

AudioResult WaveRecorder::StopSetAsideRecording(std::uintptr_t key)
{
    const auto found = FindSetAside(key);
    if (found == m_setAside.end())
        return AudioError::NotRecording;
    const std::unique_ptr<WaveCapture> capture = std::move(found->capture);
    m_setAside.erase(found);
    return capture->Stop();
}

// The recording's conversion stream is in use on the capture thread, so the format stays fixed
// while recording.
AudioResult WaveRecorder::FindFormat(const char* description)
{
    if (IsAnyRecording())
        return AudioError::RecordingInProgress;
    return m_format.Find(description);
}

AudioResult WaveRecorder::ChooseFormat(void* owner)
{
    if (IsAnyRecording())
        return AudioError::RecordingInProgress;
    return m_format.Choose(owner);
}
