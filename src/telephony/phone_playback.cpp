#include "telephony/phone_playback.h"

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
