#include "line_settings.h"

#include "platform/registry.h"

#include <algorithm>

namespace tapi {

namespace {

constexpr const char* kValue = "No Answer Timeout";

std::string KeyOf(const std::string& lineName)
{
    return "SOFTWARE\\Kestrium Telephony\\Lines\\" + lineName;
}

} // namespace

DWORD LineSettings::NoAnswerSeconds(platform::RegistryHive& hive, const std::string& lineName)
{
    const auto value = hive.Query(KeyOf(lineName), kValue);
    if (!value || value->type != platform::RegType::Dword || value->data.size() != 4)
        return kDefaultNoAnswerSeconds;
    const DWORD seconds = DWORD(value->data[0]) | DWORD(value->data[1]) << 8 | DWORD(value->data[2]) << 16
        | DWORD(value->data[3]) << 24;
    return std::clamp(seconds, kMinNoAnswerSeconds, kMaxNoAnswerSeconds);
}

bool LineSettings::SetNoAnswerSeconds(
    platform::RegistryHive& hive, const std::string& lineName, DWORD seconds)
{
    return hive.Set(KeyOf(lineName), kValue,
        platform::RegValue::Number(std::clamp(seconds, kMinNoAnswerSeconds, kMaxNoAnswerSeconds)));
}

} // namespace tapi
