#include "exchange.h"

#include <unistd.h>

// Messages to applications: queued while the exchange's lock is held, delivered by DispatchEvents
// on the application's thread (or kept for phoneGetMessage when a phone application asked for an
// event handle).

namespace tapi {

LONG Exchange::DispatchEvents()
{
    LONG count = 0;
    while (auto message = m_queue.Pop()) {
        LINECALLBACK lineCallback = nullptr;
        PHONECALLBACK phoneCallback = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (!ResolveForDispatch(*message, lineCallback, phoneCallback))
                continue;
            if (message->handleOut)
                *message->handleOut = message->handleValue;
            if (message->secondHandleOut)
                *message->secondHandleOut = message->secondHandleValue;
        }
        if (lineCallback)
            lineCallback(message->hDevice, message->message, message->instance, message->param1,
                message->param2, message->param3);
        else
            phoneCallback(message->hDevice, message->message, message->instance, message->param1,
                message->param2, message->param3);
        ++count;
    }
    return count;
}

bool Exchange::ResolveForDispatch(const QueuedMessage& message, LINECALLBACK& line, PHONECALLBACK& phone)
{
    // A message outlives nothing: once its application shut down or its line or phone closed it
    // is dropped, as a closed line receives no more messages.
    if (message.phone) {
        auto app = m_phoneApps.find(message.app);
        if (app == m_phoneApps.end() || (message.owner && !m_openPhones.count(message.owner)))
            return false;
        phone = app->second.callback;
        return phone != nullptr;
    }
    auto app = m_lineApps.find(message.app);
    if (app == m_lineApps.end() || (message.owner && !m_openLines.count(message.owner)))
        return false;
    line = app->second.callback;
    return line != nullptr;
}

void Exchange::PostLine(HLINE line, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3,
    HCALL* handleOut, HCALL handleValue)
{
    QueuedMessage queued;
    queued.hDevice = hDevice;
    queued.message = message;
    queued.param1 = p1;
    queued.param2 = p2;
    queued.param3 = p3;
    queued.handleOut = handleOut;
    queued.handleValue = handleValue;
    PushForLine(line, queued);
}

void Exchange::PostReplyWithCalls(HLINE line, DWORD request, HandleReturn first, HandleReturn second)
{
    QueuedMessage queued;
    queued.message = LINE_REPLY;
    queued.param1 = request;
    queued.handleOut = first.out;
    queued.handleValue = first.value;
    queued.secondHandleOut = second.out;
    queued.secondHandleValue = second.value;
    PushForLine(line, queued);
}

void Exchange::PushForLine(HLINE line, QueuedMessage queued)
{
    const OpenLine* open = FindLine(line);
    if (!open)
        return;
    queued.app = open->app;
    queued.owner = line;
    queued.instance = open->instance;
    m_queue.Push(queued);
}

void Exchange::PostReply(const PendingRequest& request, LONG result)
{
    PostLine(request.line, 0, LINE_REPLY, request.request, static_cast<DWORD>(result), 0);
}

void Exchange::PostCallState(const Call& call)
{
    for (HCALL handle : call.handles)
        if (const CallHandle* entry = FindCallHandle(handle))
            PostLine(entry->line, handle, LINE_CALLSTATE, call.state, CallStateParam(call, *entry), 0);
}

void Exchange::PostLineDevState(DWORD device, DWORD state, DWORD_PTR p2, DWORD_PTR p3)
{
    for (const auto& [handle, open] : m_openLines)
        if (open.device == device && (open.lineStates & state))
            PostLine(handle, handle, LINE_LINEDEVSTATE, state, p2, p3);
}

void Exchange::PostPhone(HPHONE phone, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3)
{
    const OpenPhone* open = FindPhone(phone);
    if (!open)
        return;
    PhoneApp& app = m_phoneApps.at(open->app);
    if (app.useEvent) {
        app.messages.push_back(PHONEMESSAGE{ phone, message, open->instance, p1, p2, p3 });
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(app.event.Get(), &one, sizeof one);
        m_phoneMessages.notify_all();
        return;
    }
    QueuedMessage queued;
    queued.phone = true;
    queued.app = open->app;
    queued.owner = phone;
    queued.hDevice = phone;
    queued.message = message;
    queued.instance = open->instance;
    queued.param1 = p1;
    queued.param2 = p2;
    queued.param3 = p3;
    m_queue.Push(queued);
}

void Exchange::PostPhoneState(DWORD phoneDevice, DWORD state, DWORD_PTR p2)
{
    for (const auto& [handle, open] : m_openPhones)
        if (open.device == phoneDevice && (open.phoneStates & state))
            PostPhone(handle, PHONE_STATE, state, p2, 0);
}

} // namespace tapi
