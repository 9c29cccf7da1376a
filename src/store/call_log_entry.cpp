#include "store/call_log_entry.h"

#include <cstdio>

namespace {

std::string TwoDigits(long long value)
{
    char text[24];
    std::snprintf(text, sizeof text, value < 10 ? "0%lld" : "%lld", value);
    return text;
}

} // namespace

const std::string& CallLogEntry::NameOrNumber() const
{
    return callerName.empty() ? number : callerName;
}

bool CallLogEntry::IsUnheard() const
{
    return !recordingPath.empty() && recordingPath[0] >= 'A' && recordingPath[0] <= 'Z';
}

void CallLogEntry::SetUnheard(bool unheard)
{
    if (recordingPath.empty())
        return;
    char& first = recordingPath[0];
    if (unheard && first >= 'a' && first <= 'z')
        first = char(first - 'a' + 'A');
    else if (!unheard && first >= 'A' && first <= 'Z')
        first = char(first - 'A' + 'a');
}

std::string CallLogEntry::DurationText() const
{
    auto start = startTime.ToTimeT();
    auto end = endTime.ToTimeT();
    long long seconds = (start && end && *end > *start) ? static_cast<long long>(*end - *start) : 0;
    return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
}
