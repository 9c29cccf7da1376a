// The command lines of Kestrium's link socket, as a hostile local program may write them: whatever
// the line, a dialing command that is taken holds a number with a digit and only dialable
// characters, and a name that fits the called-party field, cut between characters and free of
// control characters; every refusal says why. What kestrium-dial sends always fits the socket's
// limit and reads back as sent.
#include "random_text.h"

#include "links/app_link.h"
#include "links/tel_link.h"

#include <gtest/gtest.h>

#include <cstdint>

using kestrium_dial::AppCommand;
using kestrium_dial::ParseAppCommand;

namespace {

bool ValidUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const std::size_t length = lead < 0x80 ? 1
            : (lead >> 5) == 6                 ? 2
            : (lead >> 4) == 14                ? 3
            : (lead >> 3) == 30                ? 4
                                               : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<std::uint8_t>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// Names that end in multi-byte characters right at the cut, or are long or empty.
std::string RandomName(std::mt19937& random)
{
    static const std::vector<std::string> pieces = { "Zoë", "€", "😀", "a", " ", "Ann Example", "\xff", "\t",
        "\x7f", std::string(40, 'x'), std::string(5000, 'y') };
    std::string name;
    for (int parts = int(random() % 6); parts > 0; --parts)
        name += fuzz::Pick(random, pieces);
    return name;
}

std::string RandomNumber(std::mt19937& random)
{
    static const std::vector<std::string> numbers
        = { "---", "+", "()", " ", "*#", "5550100", "+1-212-555-0100", "", std::string(79, '5'),
              std::string(80, '5'), "1-800-FLOWERS", std::string("55\0001", 4), "5%0A5" };
    return random() % 3 == 0 ? fuzz::RandomText(random, 90, "0123456789+*#-.() \t%")
                             : fuzz::Pick(random, numbers);
}

std::string RandomLine(std::mt19937& random)
{
    switch (random() % 4) {
    case 0:
        return kestrium_dial::DialCommand(RandomNumber(random), RandomName(random));
    case 1:
        return "dial\t" + RandomNumber(random) + "\t" + RandomName(random);
    case 2:
        return fuzz::Mutate(random, random() % 2 ? "show" : "dial\t5550100\tAnn");
    default:
        return fuzz::RandomText(random, 60, "dial\tshow\x00");
    }
}

} // namespace

TEST(FuzzAppLink, TakenCommandsHoldADialableNumberAndAShortCleanName)
{
    std::mt19937 random(21);
    int dialled = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string line = RandomLine(random);
        const AppCommand command = ParseAppCommand(line);
        switch (command.kind) {
        case AppCommand::Kind::Dial:
            ++dialled;
            ASSERT_EQ(kestrium_dial::CheckNumber(command.number), kestrium_dial::LinkProblem::None) << line;
            ASSERT_NE(command.number.find_first_of("0123456789"), std::string::npos) << line;
            ASSERT_LE(command.name.size(), kestrium_dial::kMaxNameBytes) << line;
            ASSERT_FALSE(kestrium_dial::HasControlCharacter(command.name)) << line;
            ASSERT_EQ(line.compare(5, command.number.size(), command.number), 0) << line;
            ASSERT_TRUE(
                line.substr(std::min(line.size(), 6 + command.number.size())).starts_with(command.name))
                << "the name is the start of what was sent: " << line;
            break;
        case AppCommand::Kind::Invalid:
            ASSERT_FALSE(command.problem.empty()) << line;
            break;
        case AppCommand::Kind::Show:
            ASSERT_EQ(line, "show");
            break;
        }
    }
    EXPECT_GT(dialled, 1000) << "the rounds reached the dialing command";
}

TEST(FuzzAppLink, WhatKestriumDialSendsFitsAndReadsBackAsSent)
{
    std::mt19937 random(22);
    for (int round = 0; round < 5000; ++round) {
        const std::string number = RandomNumber(random);
        const std::string name = RandomName(random);
        if (kestrium_dial::CheckNumber(number) != kestrium_dial::LinkProblem::None
            || kestrium_dial::HasControlCharacter(name))
            continue;
        const std::string line = kestrium_dial::DialCommand(number, name);
        ASSERT_LT(line.size(), kestrium_dial::kMaxCommandBytes) << name.size();
        const AppCommand command = ParseAppCommand(line);
        ASSERT_EQ(command.kind, AppCommand::Kind::Dial) << line;
        ASSERT_EQ(command.number, number);
        ASSERT_EQ(name.compare(0, command.name.size(), command.name), 0) << "a start of the name";
        ASSERT_GE(command.name.size() + 3, std::min(name.size(), kestrium_dial::kMaxNameBytes));
        if (ValidUtf8(name)) {
            ASSERT_TRUE(ValidUtf8(command.name)) << "cut inside a character: " << command.name;
        }
    }
}
