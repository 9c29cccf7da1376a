// The tel: link decoder of kestrium-dial: whatever the link, a number that reaches the dialer
// holds no control character, and a link decodes back to exactly the number it was made from.
#include "random_text.h"
#include "tel_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using kestrium_dial::NumberFromArgument;

namespace {

bool HasControl(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; });
}

// Escapes a byte at random, and always '%' and ';', which would otherwise mean something.
std::string PercentEncoded(std::mt19937& random, const std::string& number)
{
    std::string link;
    for (char c : number) {
        char escape[4];
        std::snprintf(escape, sizeof escape, random() % 2 ? "%%%02X" : "%%%02x", (unsigned char)c);
        link += c == '%' || c == ';' || random() % 3 == 0 ? std::string(escape) : std::string(1, c);
    }
    return link;
}

} // namespace

TEST(FuzzTelLink, DecodesWhatWasEncodedAndRefusesEveryControlCharacter)
{
    std::mt19937 random(14);
    for (int round = 0; round < 20000; ++round) {
        const std::string number = fuzz::RandomText(random, 30, "+-0123456789*#() .%;\n\x7f");
        if (number.empty())
            continue;
        const std::string link
            = (random() % 2 ? "tel:" : "TEL:") + PercentEncoded(random, number) + (random() % 2 ? ";ext=1" : "");
        std::string decoded = "unchanged";
        const bool accepted = NumberFromArgument(link, decoded);
        ASSERT_EQ(accepted, !HasControl(number)) << link;
        if (accepted) {
            ASSERT_EQ(decoded, number) << link;
        }
    }
}

TEST(FuzzTelLink, AnyArgumentGivesANumberNoLongerThanItWithoutControlCharacters)
{
    std::mt19937 random(15);
    for (int round = 0; round < 20000; ++round) {
        std::string argument = fuzz::RandomText(random, 40, "%%%0aA7fF;:tel");
        if (random() % 2)
            argument.insert(0, "tel:");
        std::string number;
        if (NumberFromArgument(argument, number)) {
            ASSERT_FALSE(HasControl(number)) << argument;
            ASSERT_LE(number.size(), argument.size());
        }
    }
}
