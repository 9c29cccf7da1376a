#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace tapi {

// A flag one thread sleeps on and any thread raises. A raise that comes before the wait is kept,
// so a sleeper that decided to sleep just before new work arrived still wakes for it. Its lock is
// a leaf: Raise may be called with any other lock held.
class WakeSignal {
public:
    using Clock = std::chrono::steady_clock;

    void Raise()
    {
        {
            std::lock_guard lock(m_mutex);
            m_raised = true;
        }
        m_raisedChanged.notify_one();
    }

    // Sleeps until the flag is raised or `deadline` passes (no deadline: until raised), then
    // lowers the flag.
    void Wait(std::optional<Clock::time_point> deadline)
    {
        std::unique_lock lock(m_mutex);
        if (deadline)
            m_raisedChanged.wait_until(lock, *deadline, [this] { return m_raised; });
        else
            m_raisedChanged.wait(lock, [this] { return m_raised; });
        m_raised = false;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_raisedChanged;
    bool m_raised = false;
};

} // namespace tapi
