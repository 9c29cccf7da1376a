#include "telephony/phone_playback.h"

#include "audio/wave_recorder.h"
#include "telephony/line_manager.h"

#include <utility>

PhonePlayback::PhonePlayback(LineManager& lines, std::function<void()> onPutDown)
    : m_lines(lines)
    , m_watch(std::move(onPutDown))
{
}

PhonePlayback::~PhonePlayback()
{
    Release();
}

int PhonePlayback::LineOfWaveOut(LineManager& lines, int device)
{
    for (int line = 0; device >= 0 && line < LineManager::kSlotCount; ++line) {
        const LineSlot& slot = lines.GetLineSlot(line);
        if (slot.IsOpen() && slot.GetWaveOutDeviceId() == device)
            return line;
    }
    return -1;
}

bool PhonePlayback::Play(
    WaveRecorder& engine, const std::string& path, std::uint32_t positionMs, int device, std::uint32_t& lengthMs)
{
    Connect(LineOfWaveOut(m_lines, device));
    if (!engine.GetFileLength(path.c_str(), &lengthMs).Ok()
        || !engine.Play(path.c_str(), positionMs, std::int16_t(device)).Ok()) {
        Release();
        return false;
    }
    return true;
}

void PhonePlayback::Connect(int line)
{
    Release();
    m_line = line;
    if (line >= 0)
        m_lines.GetLineSlot(line).PlayToPhone(true, &m_watch);
}

void PhonePlayback::Release()
{
    if (m_line >= 0)
        m_lines.GetLineSlot(m_line).PlayToPhone(false, &m_watch);
    m_line = -1;
}
