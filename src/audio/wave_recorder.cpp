#include "audio/wave_recorder.h"

AudioResult WaveRecorder::Pause(int target)
{
    if (target == kPlaybackTarget)
        return m_player.Pause();
    return target == kCaptureTarget ? m_capture.Pause() : AudioError::UnknownTarget;
}

AudioResult WaveRecorder::Resume(int target)
{
    if (target == kPlaybackTarget)
        return m_player.Resume();
    return target == kCaptureTarget ? m_capture.Resume() : AudioError::UnknownTarget;
}

// The recording's conversion stream is in use on the capture thread, so the format stays fixed
// while recording.
AudioResult WaveRecorder::FindFormat(const char* description)
{
    if (m_capture.IsRecording())
        return AudioError::RecordingInProgress;
    return m_format.Find(description);
}

AudioResult WaveRecorder::ChooseFormat(void* owner)
{
    if (m_capture.IsRecording())
        return AudioError::RecordingInProgress;
    return m_format.Choose(owner);
}
