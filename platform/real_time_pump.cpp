#include "platform/real_time_pump.h"

namespace platform {

RealTimePump::~RealTimePump()
{
    Stop();
}

void RealTimePump::Start(std::uint32_t rate, Tick tick)
{
    Stop();
    m_stop = false;
    m_thread = std::thread([this, rate, tick = std::move(tick)] { Run(rate, tick); });
}

void RealTimePump::Stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void RealTimePump::Run(std::uint32_t rate, Tick tick)
{
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t framesPerSecondTimesPeriod = std::uint64_t(rate) * kPeriod.count();
    for (std::uint64_t n = 0;; ++n) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_until(lock, start + (n + 1) * kPeriod, [this] { return m_stop; }))
                return;
        }
        const std::size_t frames
            = (n + 1) * framesPerSecondTimesPeriod / 1000 - n * framesPerSecondTimesPeriod / 1000;
        tick(frames);
    }
}

} // namespace platform
