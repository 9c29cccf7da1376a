// Assisted telephony: dialing requests queued for the application that serves them, and what
// became of each one.
#include "exchange.h"

#include <algorithm>

namespace tapi {

namespace {

constexpr std::size_t kMaxQueuedRequests = 16;

} // namespace

LONG Exchange::RegisterRequestRecipient(HLINEAPP app, DWORD instance, DWORD modes, bool enable)
{
    std::lock_guard lock(m_mutex);
    auto it = m_lineApps.find(app);
    if (it == m_lineApps.end())
        return LINEERR_INVALAPPHANDLE;
    if (modes == 0 || (modes & ~DWORD(LINEREQUESTMODE_MAKECALL | LINEREQUESTMODE_MEDIACALL)))
        return LINEERR_INVALREQUESTMODE;
    LineApp& entry = it->second;
    if (enable) {
        entry.requestModes |= modes;
        entry.registrationInstance = instance;
        entry.registrationOrder = ++m_sequence;
    } else {
        if ((entry.requestModes & modes) != modes)
            return LINEERR_NOTREGISTERED;
        entry.requestModes &= ~modes;
        if (!(entry.requestModes & LINEREQUESTMODE_MAKECALL))
            ForgetRequestsOf(app);
    }
    return 0;
}

LONG Exchange::GetRequest(HLINEAPP app, DWORD mode, LINEREQMAKECALL& out)
{
    std::lock_guard lock(m_mutex);
    auto it = m_lineApps.find(app);
    if (it == m_lineApps.end())
        return LINEERR_INVALAPPHANDLE;
    if (mode != LINEREQUESTMODE_MAKECALL && mode != LINEREQUESTMODE_MEDIACALL)
        return LINEERR_INVALREQUESTMODE;
    if (!(it->second.requestModes & mode))
        return LINEERR_NOTREGISTERED;
    auto request
        = std::find_if(m_requests.begin(), m_requests.end(), [&](const auto& r) { return r.app == app; });
    if (mode != LINEREQUESTMODE_MAKECALL || request == m_requests.end())
        return LINEERR_NOREQUEST;
    out = request->request;
    if (request->awaitedId != 0)
        m_takenRequests.push_back(*request);
    m_requests.erase(request);
    return 0;
}

LONG Exchange::RequestMakeCall(const LINEREQMAKECALL& request, DWORD* awaitedId)
{
    std::lock_guard lock(m_mutex);
    // The application that registered first serves the requests.
    const std::pair<const HLINEAPP, LineApp>* recipient = nullptr;
    for (const auto& entry : m_lineApps)
        if ((entry.second.requestModes & LINEREQUESTMODE_MAKECALL)
            && (!recipient || entry.second.registrationOrder < recipient->second.registrationOrder))
            recipient = &entry;
    if (!recipient)
        return TAPIERR_NOREQUESTRECIPIENT;
    if (m_requests.size() >= kMaxQueuedRequests)
        return TAPIERR_REQUESTQUEUEFULL;
    const DWORD id = awaitedId ? m_nextAwaitedRequest++ : 0;
    if (awaitedId)
        *awaitedId = id;
    m_requests.push_back(RequestEntry{ recipient->first, request, id });
    QueuedMessage message;
    message.app = recipient->first;
    message.message = LINE_REQUEST;
    message.instance = recipient->second.registrationInstance;
    message.param1 = LINEREQUESTMODE_MAKECALL;
    m_queue.Push(message);
    return 0;
}

// The answer is for the oldest request the application took and has not answered for; requests
// nobody waits for are not kept, so the answer is then dropped.
LONG Exchange::ReportRequestOutcome(HLINEAPP app, LONG result)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.count(app))
        return LINEERR_INVALAPPHANDLE;
    auto taken = std::find_if(
        m_takenRequests.begin(), m_takenRequests.end(), [&](const auto& r) { return r.app == app; });
    if (taken == m_takenRequests.end())
        return 0;
    m_requestOutcomes[taken->awaitedId] = result;
    m_takenRequests.erase(taken);
    m_requestAnswered.notify_all();
    return 0;
}

Exchange::RequestFate Exchange::WaitForRequestFate(DWORD id, std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    if (m_requestAnswered.wait_for(lock, limit, [&] { return m_requestOutcomes.count(id) != 0; })) {
        const LONG result = m_requestOutcomes[id];
        m_requestOutcomes.erase(id);
        return result >= 0 ? RequestFate::Placed : RequestFate::Failed;
    }
    const auto matches = [&](const RequestEntry& entry) { return entry.awaitedId == id; };
    if (std::erase_if(m_requests, matches) > 0)
        return RequestFate::NotTaken;
    std::erase_if(m_takenRequests, matches);
    return RequestFate::Unanswered;
}

// Called with m_mutex held. A requester still waiting hears that the call was not placed.
void Exchange::ForgetRequestsOf(HLINEAPP app)
{
    const auto ofApp = [&](const RequestEntry& entry) { return entry.app == app; };
    for (const std::deque<RequestEntry>* list : { &m_requests, &m_takenRequests })
        for (const RequestEntry& entry : *list)
            if (entry.app == app && entry.awaitedId != 0)
                m_requestOutcomes[entry.awaitedId] = LINEERR_INVALAPPHANDLE;
    std::erase_if(m_requests, ofApp);
    std::erase_if(m_takenRequests, ofApp);
    m_requestAnswered.notify_all();
}

} // namespace tapi
