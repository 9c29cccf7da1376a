#include "dial_plan.h"

#include "tapisim.h"

#include <cctype>

namespace tapi {

namespace {

constexpr DWORD kDefaultRingbackMs = 3000;

} // namespace

std::string DialPlan::DialledDigits(std::string_view address)
{
    std::string digits;
    for (char c : address) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#'
            || (upper >= 'A' && upper <= 'D'))
            digits += upper;
    }
    return digits;
}

bool DialPlan::Matches(std::string_view pattern, std::string_view digits)
{
    if (!pattern.empty() && pattern.back() == '*')
        return digits.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1);
    return pattern == digits;
}

DialRule DialPlan::Match(std::string_view dialled) const
{
    const std::string digits = DialledDigits(dialled);
    for (const auto& rule : m_rules)
        if (Matches(rule.pattern, digits))
            return rule;
    return DialRule{ "*", TAPISIM_OUTCOME_ANSWER, kDefaultRingbackMs, 0 };
}

} // namespace tapi
