#include "line_wave_in.h"

namespace tapi {

bool IsLineFormat(const platform::PcmFormat& format)
{
    return format == platform::PcmFormat{ 8000, 16, 1 };
}

LineWaveIn::LineWaveIn(std::string name, std::function<void()> onStart)
    : m_name(std::move(name))
    , m_onStart(std::move(onStart))
{
}

MMRESULT LineWaveIn::Start(const platform::PcmFormat& format, Deliver deliver)
{
    if (!IsLineFormat(format))
        return WAVERR_BADFORMAT;
    if (!deliver)
        return MMSYSERR_INVALPARAM;
    {
        std::lock_guard lock(m_mutex);
        if (m_deliver)
            return MMSYSERR_ALLOCATED;
        m_deliver = std::move(deliver);
        m_started = true;
    }
    if (m_onStart)
        m_onStart();
    return MMSYSERR_NOERROR;
}

void LineWaveIn::Stop()
{
    std::lock_guard lock(m_mutex);
    m_deliver = nullptr;
    m_started = false;
}

void LineWaveIn::Feed(const std::int16_t* samples, std::size_t count)
{
    std::lock_guard lock(m_mutex);
    if (!m_deliver)
        return;
    const Deliver deliver = m_deliver; // the callback may stop the device
    deliver(reinterpret_cast<const std::uint8_t*>(samples), count * sizeof(std::int16_t));
}

} // namespace tapi
