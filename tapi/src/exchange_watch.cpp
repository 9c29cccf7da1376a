#include "exchange.h"

#include <algorithm>
#include <set>

// Colleagues' lines watched through a SIP line: the exchange keeps each line's list and the state
// of every entry, hands the addresses to the SIP service (which subscribes to their dialog events)
// and tells the line's applications when an entry's state changes.

namespace tapi {

namespace {

DWORD StateCode(LineActivity activity)
{
    switch (activity) {
    case LineActivity::Idle:
        return TAPIWATCH_IDLE;
    case LineActivity::Ringing:
        return TAPIWATCH_RINGING;
    case LineActivity::InCall:
        return TAPIWATCH_INCALL;
    case LineActivity::Unknown:
        break;
    }
    return TAPIWATCH_UNKNOWN;
}

// Each address once, in the order given; empty entries are watched by nobody.
template <typename Entries> std::vector<std::string> DistinctAddresses(const Entries& watched)
{
    std::vector<std::string> addresses;
    std::set<std::string> seen;
    for (const auto& entry : watched)
        if (!entry.address.empty() && seen.insert(entry.address).second)
            addresses.push_back(entry.address);
    return addresses;
}

} // namespace

LONG Exchange::WatchLines(HLINE line, const std::vector<std::string>& addresses)
{
    std::lock_guard lock(m_mutex);
    const OpenLine* open = FindLine(line);
    if (!open)
        return LINEERR_INVALLINEHANDLE;
    if (!IsSipLine(open->device) || !m_sip)
        return LINEERR_OPERATIONUNAVAIL;
    if (addresses.size() > TAPIWATCH_MAXLINES)
        return LINEERR_INVALPARAM;
    if (std::any_of(addresses.begin(), addresses.end(),
            [](const std::string& address) { return address.size() > TAPIWATCH_MAXADDRESS; }))
        return LINEERR_INVALPARAM;
    // Entries already watched keep their state; the applications learn the new list's states from
    // tapiGetWatchedLine, and of changes from LINE_DEVSPECIFIC as before.
    Line& entry = m_lines[open->device];
    std::vector<Line::Watched> fresh;
    for (const std::string& address : addresses) {
        auto known = std::find_if(entry.watched.begin(), entry.watched.end(),
            [&](const Line::Watched& w) { return w.address == address; });
        fresh.push_back(known == entry.watched.end()
                ? Line::Watched{ address, LineActivity::Unknown, std::nullopt }
                : *known);
    }
    entry.watched = std::move(fresh);
    m_sip->Watch(open->device, DistinctAddresses(entry.watched));
    return 0;
}

LONG Exchange::GetWatchedLine(HLINE line, DWORD index, DWORD& state)
{
    std::lock_guard lock(m_mutex);
    const OpenLine* open = FindLine(line);
    if (!open)
        return LINEERR_INVALLINEHANDLE;
    const auto& watched = m_lines[open->device].watched;
    if (index >= watched.size())
        return LINEERR_INVALPARAM;
    state = StateCode(watched[index].activity);
    return 0;
}

void Exchange::SetWatchedActivity(DWORD line, std::size_t index, LineActivity activity)
{
    Line::Watched& entry = m_lines[line].watched[index];
    if (entry.activity == activity)
        return;
    entry.activity = activity;
    for (const auto& [handle, open] : m_openLines)
        if (open.device == line)
            PostLine(
                handle, handle, LINE_DEVSPECIFIC, TAPIDEVSPECIFIC_WATCHEDLINE, index, StateCode(activity));
}

void Exchange::OnSipWatched(const SipEvent& event)
{
    if (!IsSipLine(event.line))
        return;
    const auto& watched = m_lines[event.line].watched;
    for (std::size_t i = 0; i < watched.size(); ++i)
        if (watched[i].address == event.number) {
            m_lines[event.line].watched[i].ringing = event.ringingCall;
            SetWatchedActivity(event.line, i, event.activity);
        }
}

void Exchange::SendWatchLists()
{
    for (DWORD line = 0; line < m_lines.size(); ++line) {
        if (!IsSipLine(line) || m_lines[line].watched.empty())
            continue;
        // The new stack knows nothing yet: Unknown until its first notification.
        for (std::size_t i = 0; i < m_lines[line].watched.size(); ++i) {
            m_lines[line].watched[i].ringing.reset();
            SetWatchedActivity(line, i, LineActivity::Unknown);
        }
        if (m_sip)
            m_sip->Watch(line, DistinctAddresses(m_lines[line].watched));
    }
}

void Exchange::DropUnwatchedLists()
{
    for (DWORD line = 0; line < m_lines.size(); ++line) {
        const bool open = std::any_of(m_openLines.begin(), m_openLines.end(),
            [line](const auto& entry) { return entry.second.device == line; });
        if (open || m_lines[line].watched.empty())
            continue;
        m_lines[line].watched.clear();
        if (m_sip && IsSipLine(line))
            m_sip->Watch(line, {});
    }
}

} // namespace tapi
