#include "links/tel_link.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace kestrium_dial {

namespace {

constexpr std::string_view kTelScheme = "tel:";
constexpr std::string_view kCalltoScheme = "callto:";
constexpr std::string_view kDialableCharacters = "0123456789+*#-.() ";

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

bool StartsWithScheme(std::string_view text, std::string_view scheme)
{
    return text.size() >= scheme.size() && strncasecmp(text.data(), scheme.data(), scheme.size()) == 0;
}

// The part of a link after its scheme: "callto://5551234/" and "callto:5551234" both give "5551234".
std::string_view LinkBody(std::string_view link)
{
    if (StartsWithScheme(link, kTelScheme))
        return link.substr(kTelScheme.size());
    std::string_view body = link.substr(kCalltoScheme.size());
    if (body.substr(0, 2) == "//") {
        body.remove_prefix(2);
        if (body.ends_with('/'))
            body.remove_suffix(1);
    }
    return body;
}

} // namespace

bool HasControlCharacter(std::string_view text)
{
    return std::any_of(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool IsLink(std::string_view argument)
{
    return StartsWithScheme(argument, kTelScheme) || StartsWithScheme(argument, kCalltoScheme);
}

LinkProblem CheckNumber(std::string_view number)
{
    if (HasControlCharacter(number))
        return LinkProblem::ControlCharacter;
    if (number.empty())
        return LinkProblem::Empty;
    if (number.find_first_not_of(kDialableCharacters) != std::string_view::npos)
        return LinkProblem::NotDialable;
    if (number.find_first_of("0123456789") == std::string_view::npos)
        return LinkProblem::NoDigit;
    return number.size() > kMaxNumberLength ? LinkProblem::TooLong : LinkProblem::None;
}

LinkProblem NumberFromLink(std::string_view link, std::string& number)
{
    const std::string_view body = LinkBody(link);
    number = PercentDecoded(body.substr(0, body.find_first_of(";?")));
    return CheckNumber(number);
}

std::string LinkProblemText(LinkProblem problem)
{
    switch (problem) {
    case LinkProblem::None:
        break;
    case LinkProblem::Empty:
        return "the link holds no number";
    case LinkProblem::ControlCharacter:
        return "the number holds a control character (such as a NUL or a line feed, perhaps written as %00 "
               "or "
               "%0A)";
    case LinkProblem::NotDialable:
        return "the link does not hold a telephone number: only digits, +, *, # and the separators - . ( ) "
               "and "
               "spaces can be dialled";
    case LinkProblem::NoDigit:
        return "the number holds no digit, so there is nothing to dial";
    case LinkProblem::TooLong:
        return "the number is longer than " + std::to_string(kMaxNumberLength) + " characters";
    }
    return {};
}

} // namespace kestrium_dial
