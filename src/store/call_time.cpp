#include "store/call_time.h"

namespace {

bool IsLeapYear(std::int32_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::int32_t DaysInMonth(std::int32_t year, std::int32_t month)
{
    static constexpr std::int32_t kDays[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high)
{
    return value >= low && value <= high;
}

std::tm ToTm(const CallTime& time)
{
    std::tm tm{};
    tm.tm_year = time.year - 1900;
    tm.tm_mon = time.month - 1;
    tm.tm_mday = time.day;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    tm.tm_isdst = -1;
    return tm;
}

} // namespace

CallTime CallTime::FromTimeT(std::time_t time)
{
    std::tm tm{};
    ::localtime_r(&time, &tm);
    return { tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec };
}

CallTime CallTime::Now()
{
    return FromTimeT(std::time(nullptr));
}

bool CallTime::IsValid() const
{
    return InRange(year, 1900, 9999) && InRange(month, 1, 12) && InRange(day, 1, DaysInMonth(year, month))
        && InRange(hour, 0, 23) && InRange(minute, 0, 59) && InRange(second, 0, 59);
}

std::optional<std::time_t> CallTime::ToTimeT() const
{
    if (!IsValid())
        return std::nullopt;
    std::tm tm = ToTm(*this);
    return std::mktime(&tm);
}

std::string CallTime::Format(const char* format) const
{
    if (!IsValid())
        return {};
    std::tm tm = ToTm(*this);
    std::tm normalised = tm;
    std::mktime(&normalised); // fills the weekday and daylight-saving fields some locales print
    tm.tm_wday = normalised.tm_wday;
    tm.tm_yday = normalised.tm_yday;
    tm.tm_isdst = normalised.tm_isdst;
    char text[128];
    std::size_t size = std::strftime(text, sizeof text, format, &tm);
    return std::string(text, size);
}

std::string CallTime::DateText() const
{
    return Format("%x");
}

std::string CallTime::TimeText() const
{
    return Format("%X");
}
