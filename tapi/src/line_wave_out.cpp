#include "line_wave_out.h"

#include "line_wave_in.h"

#include <algorithm>

namespace tapi {

LineWaveOut::LineWaveOut(std::string name, std::function<void()> onStart)
    : m_name(std::move(name))
    , m_onStart(std::move(onStart))
{
}

MMRESULT LineWaveOut::Start(const platform::PcmFormat& format, Render render)
{
    if (!IsLineFormat(format))
        return WAVERR_BADFORMAT;
    if (!render)
        return MMSYSERR_INVALPARAM;
    {
        std::lock_guard lock(m_mutex);
        if (m_render)
            return MMSYSERR_ALLOCATED;
        m_render = std::move(render);
        m_started = true;
    }
    if (m_onStart)
        m_onStart();
    return MMSYSERR_NOERROR;
}

void LineWaveOut::Stop()
{
    std::lock_guard lock(m_mutex);
    m_render = nullptr;
    m_started = false;
}

void LineWaveOut::Pull(std::int16_t* samples, std::size_t count)
{
    std::fill(samples, samples + count, 0);
    std::lock_guard lock(m_mutex);
    if (!m_render)
        return;
    const Render render = m_render;
    const std::size_t bytes = count * sizeof(std::int16_t);
    const std::size_t filled = std::min(render(reinterpret_cast<std::uint8_t*>(samples), bytes), bytes);
    // A half-filled last sample is dropped; the rest of the block stays silent.
    std::fill(samples + filled / sizeof(std::int16_t), samples + count, 0);
}

} // namespace tapi
