// The control-socket commands (through tapisimCommand, which runs the same interpreter): random
// and half-sensible command lines, with the manual clock moving now and then, never crash the
// service, and every reply is a whole line that fits the caller's buffer.
#include "random_text.h"

#include "command_words.h"
#include "tapisim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

const std::vector<std::string> kWords = { "list", "ring", "hangup", "answer", "refuse", "play", "handset",
    "heard", "clear", "dialplan", "request", "help", "transfer", "hold", "add", "up", "down", "--blocked",
    "--out-of-area", "--give-up", "--hang-up-after", "--disconnects", "--tone", "--silence", "--", "answer",
    "busy", "noanswer", "badaddress", "reject", "manual", "*", "555*", "1", "2", "3", "7", "0", "440", "-10",
    "4294967296", "99999999999999999999", "/dev/zero", "/no/such.wav", "\"a b\"", "\"", "\\", "\"\\\"\"",
    "x" };

std::string RandomCommand(std::mt19937& random)
{
    if (random() % 8 == 0)
        return fuzz::RandomText(random, 60, " \"\\-\t\r\n12");
    std::string command;
    for (int words = int(random() % 7); words >= 0; --words) {
        command += random() % 10 == 0 ? fuzz::RandomText(random, 12, "\"\\ ") : fuzz::Pick(random, kWords);
        command += random() % 8 == 0 ? "\t" : " ";
    }
    return random() % 10 == 0 ? fuzz::Mutate(random, command) : command;
}

class FuzzCommands : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK); }
    void TearDown() override { tapisimReset(); }
};

} // namespace

TEST_F(FuzzCommands, EveryReplyIsOneTerminatedTextThatFitsItsBuffer)
{
    std::mt19937 random(16);
    constexpr char kGuard = '\x5A';
    for (int round = 0; round < 4000; ++round) {
        std::string command = RandomCommand(random);
        command.erase(std::remove(command.begin(), command.end(), '\0'), command.end());
        const DWORD size = random() % 4 == 0 ? DWORD(1 + random() % 16) : 8192;
        std::vector<char> reply(size + 16, kGuard);
        const LONG result = tapisimCommand(command.c_str(), reply.data(), size);
        ASSERT_TRUE(std::all_of(reply.begin() + size, reply.end(), [](char c) { return c == kGuard; }))
            << "written past the buffer: " << command;
        const std::size_t length = std::strlen(reply.data());
        ASSERT_LT(length, size) << command;
        if (size == 8192) {
            const std::string text(reply.data(), length);
            ASSERT_FALSE(text.empty()) << command;
            ASSERT_EQ(text.back(), '\n') << command;
            ASSERT_EQ(result != TAPISIM_OK, text.rfind("error: ", 0) == 0) << command << " -> " << text;
        }
        if (random() % 20 == 0) {
            ASSERT_EQ(tapisimAdvance(DWORD(random() % 20000)), TAPISIM_OK);
        }
    }
}

TEST(FuzzCommandWords, AnyQuotedWordsSplitBackUnchanged)
{
    std::mt19937 random(17);
    for (int round = 0; round < 5000; ++round) {
        std::vector<std::string> words(random() % 6);
        std::string line;
        for (auto& word : words) {
            word = fuzz::RandomText(random, 12, " \t\r\n\"\\");
            line += tapi::QuoteCommandWord(word) + (random() % 2 ? " " : "\t ");
        }
        std::vector<std::string> split;
        ASSERT_TRUE(tapi::SplitCommandWords(line, split)) << line;
        // An empty word is written as "", which reads back as an empty word too.
        ASSERT_EQ(split, words) << line;
    }
}
