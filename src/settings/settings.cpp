#include "settings/settings.h"

namespace Settings {

namespace {

std::string ReplaceAll(std::string_view pattern, std::string_view token, std::string_view with)
{
    std::string out;
    std::size_t pos = 0;
    while (true) {
        std::size_t found = pattern.find(token, pos);
        out += pattern.substr(pos, found - pos);
        if (found == std::string_view::npos)
            return out;
        out += with;
        pos = found + token.size();
    }
}

}  // namespace

std::string IndexedName(std::string_view pattern, int number)
{
    return ReplaceAll(pattern, "%d", std::to_string(number));
}

std::string FormatDefault(std::string_view pattern, std::string_view folder)
{
    return ReplaceAll(pattern, "%s", folder);
}

}  // namespace Settings
