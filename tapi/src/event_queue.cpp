#include "event_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace tapi {

namespace {

int ProcessEventFd()
{
    // Shared by every queue of the process and never closed: applications keep it in their event
    // loop for the whole run.
    static const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd;
}

} // namespace

EventQueue::EventQueue()
    : m_fd(ProcessEventFd())
{
}

void EventQueue::SetReadable(bool readable)
{
    if (m_fd < 0)
        return;
    std::uint64_t value = 1;
    if (readable) {
        [[maybe_unused]] auto written = ::write(m_fd, &value, sizeof value);
    } else {
        [[maybe_unused]] auto read = ::read(m_fd, &value, sizeof value);
    }
}

void EventQueue::Push(const QueuedMessage& message)
{
    std::lock_guard lock(m_mutex);
    m_messages.push_back(message);
    if (m_messages.size() == 1)
        SetReadable(true);
}

std::optional<QueuedMessage> EventQueue::Pop()
{
    std::lock_guard lock(m_mutex);
    if (m_messages.empty())
        return std::nullopt;
    QueuedMessage message = m_messages.front();
    m_messages.pop_front();
    if (m_messages.empty())
        SetReadable(false);
    return message;
}

void EventQueue::Clear()
{
    std::lock_guard lock(m_mutex);
    if (!m_messages.empty())
        SetReadable(false);
    m_messages.clear();
}

std::size_t EventQueue::Size()
{
    std::lock_guard lock(m_mutex);
    return m_messages.size();
}

} // namespace tapi
