#include "command_words.h"

namespace tapi {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

bool SplitCommandWords(std::string_view text, std::vector<std::string>& words)
{
    words.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        std::string word;
        while (i < text.size() && !IsBlank(text[i])) {
            if (text[i] != '"') {
                word += text[i++];
                continue;
            }
            ++i;
            for (;;) {
                if (i >= text.size())
                    return false;
                const char c = text[i++];
                if (c == '"')
                    break;
                if (c == '\\' && i < text.size() && (text[i] == '"' || text[i] == '\\'))
                    word += text[i++];
                else
                    word += c;
            }
        }
        words.push_back(std::move(word));
    }
    return true;
}

std::string QuoteCommandWord(std::string_view word)
{
    bool plain = !word.empty();
    for (char c : word)
        plain = plain && !IsBlank(c) && c != '"' && c != '\\';
    if (plain)
        return std::string(word);
    std::string quoted = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace tapi
