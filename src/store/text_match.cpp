#include "store/text_match.h"

namespace {

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

} // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (FoldAscii(text[i]) != FoldAscii(prefix[i]))
            return false;
    }
    return true;
}
