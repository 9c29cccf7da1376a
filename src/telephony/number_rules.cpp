#include "telephony/number_rules.h"

namespace NumberRules {

namespace {

bool IsSeparator(char c)
{
    return c == ',' || c == '-';
}

} // namespace

void CleanBrackets(std::string& number)
{
    for (std::size_t i = 0; i < number.size(); ++i) {
        if (IsSeparator(number[i]) && i + 1 < number.size() && number[i + 1] == '(') {
            number[i] = '(';
            number.erase(i + 1, 1);
        }
        if (number[i] == ')' && i + 1 < number.size() && IsSeparator(number[i + 1]))
            number.erase(i + 1, 1);
    }
}

bool ApplyPlusRule(std::string& number)
{
    if (number.empty() || number[0] != '+')
        return true;
    for (std::size_t i = 1; i < number.size(); ++i) {
        char& c = number[i];
        if (c == ' ' || IsSeparator(c)) {
            c = ' ';
            return true;
        }
        if (c == '(')
            return true;
    }
    return false;
}

std::string_view StripDialModePrefix(std::string_view dialable)
{
    if (!dialable.empty() && (dialable[0] == 'T' || dialable[0] == 'P'))
        dialable.remove_prefix(1);
    return dialable;
}

void SplitNameAndNumber(std::string& name, std::string& number)
{
    if (!name.empty())
        return;
    const std::size_t comma = number.rfind(',');
    if (comma == std::string::npos || comma == 0)
        return;
    std::size_t start = comma + 1;
    if (start < number.size() && number[start] == ' ')
        ++start;
    name = number.substr(0, comma);
    number.erase(0, start);
}

bool LooksLikeNumber(std::string_view text)
{
    bool digit = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (std::string_view("+*# -.()/").find(c) == std::string_view::npos)
            return false;
    }
    return digit;
}

} // namespace NumberRules
