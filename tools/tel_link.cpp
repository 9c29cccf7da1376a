#include "tel_link.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace kestrium_dial {

namespace {

int HexValue(char c)
{
    return std::isdigit(static_cast<unsigned char>(c))
        ? c - '0'
        : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

bool IsHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

std::string PercentDecoded(std::string_view text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2])) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

bool IsControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

} // namespace

bool NumberFromArgument(std::string_view argument, std::string& number)
{
    if (argument.size() > 4 && strncasecmp(argument.data(), "tel:", 4) == 0) {
        const std::string_view link = argument.substr(4);
        number = PercentDecoded(link.substr(0, link.find(';')));
    } else {
        number = argument;
    }
    return std::none_of(number.begin(), number.end(), IsControl);
}

} // namespace kestrium_dial
