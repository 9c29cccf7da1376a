#pragma once

#include "tapi.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace tapi {

// One line or phone message waiting for its application.
struct QueuedMessage {
    bool phone = false;
    DWORD app = 0; // HLINEAPP or HPHONEAPP that receives it
    DWORD owner = 0; // the HLINE or HPHONE it came through; 0 when not tied to one (LINE_REQUEST)
    DWORD hDevice = 0;
    DWORD message = 0;
    DWORD_PTR instance = 0;
    DWORD_PTR param1 = 0;
    DWORD_PTR param2 = 0;
    DWORD_PTR param3 = 0;
    // lineMakeCallA and the like: the new call handles are written to the application's variables
    // as the reply is delivered (lineSetupConferenceA returns two).
    HCALL* handleOut = nullptr;
    HCALL handleValue = 0;
    HCALL* secondHandleOut = nullptr;
    HCALL secondHandleValue = 0;
};

// The process-wide queue behind tapiGetEventFd: the descriptor is readable exactly while messages
// wait. The descriptor is created once and lives as long as the process.
class EventQueue {
public:
    EventQueue();
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    int Fd() const { return m_fd; }
    void Push(const QueuedMessage& message);
    std::optional<QueuedMessage> Pop();
    void Clear();
    std::size_t Size();

private:
    void SetReadable(bool readable);

    std::mutex m_mutex;
    std::deque<QueuedMessage> m_messages;
    int m_fd = -1;
};

} // namespace tapi
