#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

// A thread that calls `tick` once per period on the real-time clock, without drift, with the number
// of frames at `rate` that fall into that period. Stop joins the thread, so after it returns `tick`
// is never called again; it must not be called from inside `tick`.
class RealTimePump {
public:
    using Tick = std::function<void(std::size_t frames)>;

    RealTimePump() = default;
    ~RealTimePump();
    RealTimePump(const RealTimePump&) = delete;
    RealTimePump& operator=(const RealTimePump&) = delete;

    void Start(std::uint32_t rate, Tick tick);
    void Stop();

    static constexpr std::chrono::milliseconds kPeriod{ 20 };

private:
    void Run(std::uint32_t rate, Tick tick);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

} // namespace platform
