// The link decoder of kestrium-dial: whatever the link, a number that reaches Kestrium holds only
// dialable characters, at least one digit and no control character, and a link decodes back to
// exactly the number it was made from.
#include "links/tel_link.h"
#include "random_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

using kestrium_dial::LinkProblem;
using kestrium_dial::NumberFromLink;

namespace {

bool HasControl(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; });
}

bool HasLetter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return std::isalpha((unsigned char)c); });
}

bool OnlyDialable(const std::string& text)
{
    return text.find_first_not_of("0123456789+*#-.() ") == std::string::npos;
}

bool HasDigit(const std::string& text)
{
    return text.find_first_of("0123456789") != std::string::npos;
}

// Escapes a byte at random, and always the bytes that would otherwise mean something in a link.
std::string PercentEncoded(std::mt19937& random, const std::string& number)
{
    std::string link;
    for (char c : number) {
        char escape[4];
        std::snprintf(escape, sizeof escape, random() % 2 ? "%%%02X" : "%%%02x", (unsigned char)c);
        const bool special = c == '%' || c == ';' || c == '?' || c == '/';
        link += special || random() % 3 == 0 ? std::string(escape) : std::string(1, c);
    }
    return link;
}

// Numbers a link may carry: dialable characters only, up to `maxSize` of them.
std::string RandomDialable(std::mt19937& random, std::size_t maxSize)
{
    static const std::string dialable = "0123456789+*#-.() ";
    std::string number(random() % (maxSize + 1), ' ');
    for (char& c : number)
        c = dialable[random() % dialable.size()];
    return number;
}

const char* const kSchemes[] = { "tel:", "TEL:", "callto:", "callto://", "CallTo://" };

} // namespace

TEST(FuzzTelLink, DecodesWhatWasEncodedAndRefusesControlCharactersLettersNoDigitAndLongNumbers)
{
    std::mt19937 random(14);
    for (int round = 0; round < 20000; ++round) {
        const std::string number = random() % 2 ? RandomDialable(random, 100)
                                                : fuzz::RandomText(random, 20, "+-0123456789*#() .%;?\n\x7f");
        const std::string link
            = kSchemes[random() % 5] + PercentEncoded(random, number) + (random() % 2 ? ";ext=1" : "");
        std::string decoded = "unchanged";
        const LinkProblem problem = NumberFromLink(link, decoded);
        if (HasControl(number)) {
            ASSERT_EQ(problem, LinkProblem::ControlCharacter) << link;
        } else if (HasLetter(number)) {
            ASSERT_EQ(problem, LinkProblem::NotDialable) << link;
        } else if (!number.empty() && OnlyDialable(number) && !HasDigit(number)) {
            ASSERT_EQ(problem, LinkProblem::NoDigit) << link;
        } else if (!number.empty() && OnlyDialable(number) && number.size() > 79) {
            ASSERT_EQ(problem, LinkProblem::TooLong) << link;
        }
        if (problem == LinkProblem::None) {
            ASSERT_EQ(decoded, number) << link;
        }
    }
}

TEST(FuzzTelLink, AnyArgumentGivesADialableNumberNoLongerThanIt)
{
    std::mt19937 random(15);
    for (int round = 0; round < 20000; ++round) {
        std::string argument = fuzz::RandomText(random, 40, "%%%0aA7fF;:/?tel0123456789");
        argument.insert(0, kSchemes[random() % 5]);
        std::string number;
        if (NumberFromLink(argument, number) == LinkProblem::None) {
            ASSERT_FALSE(HasControl(number)) << argument;
            ASSERT_TRUE(OnlyDialable(number)) << argument;
            ASSERT_TRUE(HasDigit(number)) << argument;
            ASSERT_LE(number.size(), argument.size());
        }
    }
}
