#pragma once

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// A byte the syntax cares about often, any byte now and then, a letter otherwise.
inline std::string RandomText(std::mt19937& random, std::size_t maxSize, std::string_view special)
{
    std::string text(random() % (maxSize + 1), ' ');
    for (char& c : text) {
        const unsigned pick = random() % 4;
        c = pick == 0   ? special[random() % special.size()]
            : pick == 1 ? char(random() % 256)
                        : char('a' + random() % 26);
    }
    return text;
}

inline const std::string& Pick(std::mt19937& random, const std::vector<std::string>& words)
{
    return words[random() % words.size()];
}

// Damages a text: bytes replaced, removed, inserted, or a slice repeated.
inline std::string Mutate(std::mt19937& random, std::string text)
{
    for (int edits = 1 + int(random() % 4); edits > 0; --edits) {
        const std::size_t at = text.empty() ? 0 : random() % text.size();
        switch (random() % 4) {
        case 0:
            if (!text.empty())
                text[at] = char(random() % 256);
            break;
        case 1:
            text.erase(at, random() % 8);
            break;
        case 2:
            text.insert(at, 1, char(random() % 256));
            break;
        default:
            text.insert(at, text.substr(at, random() % 16));
            break;
        }
    }
    return text;
}

} // namespace fuzz
