#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// A local date and time in whole seconds, kept as the six numbers the call log file stores, so a
// hand-edited date that is not a valid date-time still loads and saves unchanged.
struct CallTime {
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;

    static CallTime FromTimeT(std::time_t time);
    static CallTime Now();

    // A real calendar date (years 1900 to 9999) with hours 0..23, minutes and seconds 0..59.
    bool IsValid() const;
    // Seconds since the epoch, daylight saving determined for that date; none when not valid.
    std::optional<std::time_t> ToTimeT() const;
    // The date in the locale's short format ("%x") and the time in its time format ("%X");
    // empty when not valid.
    std::string DateText() const;
    std::string TimeText() const;

    bool operator==(const CallTime&) const = default;
    auto operator<=>(const CallTime&) const = default;

private:
    std::string Format(const char* format) const;
};
