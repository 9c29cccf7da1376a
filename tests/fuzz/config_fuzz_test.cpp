// The exchange configuration (through tapisimConfigure): random and damaged texts are either
// taken, giving 1 to 32 lines with names the devices can report, or refused with the number of a
// line the text has, leaving the built-in device set.
#include "random_text.h"

#include "tapi.h"
#include "tapisim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

void Ignore(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
}

struct Setting {
    const char* key;
    std::vector<std::string> values;
};

const std::vector<Setting> kLineSettings = { { "kind", { "analog", "ip", "modem" } }, { "phone", { "yes", "no" } },
    { "ring-period-ms", { "500", "6000", "60000" } } };
const std::vector<Setting> kDialSettings
    = { { "outcome", { "answer", "busy", "noanswer", "badaddress", "reject", "manual" } },
          { "delay-ms", { "0", "3000" } }, { "hang-up-after-ms", { "0", "100" } } };
const std::vector<std::string> kOddLines = { "[other]", "[line", " [line] ", "name", "= x", "name = ",
    "kind = tin-can", "phone = maybe", "ring-period-ms = 499", "ring-period-ms = 60001", "delay-ms = 4294967296",
    "delay-ms = -1", "name = " + std::string(104, 'n'), "name = " + std::string(103, 'n'), "pattern = ",
    "Name = x", "# comment", "; comment", "", "[line]\nname = Line 1" };

// One [line] or [dial] section of sensible lines.
std::string RandomSection(std::mt19937& random, int index)
{
    const bool line = random() % 3 != 0;
    std::string text = line ? "[line]\nname = Line " + std::to_string(index) + "\n"
                            : "[dial]\npattern = " + std::string(random() % 2 ? "555*" : "*") + "\n";
    for (int keys = int(random() % 4); keys > 0; --keys) {
        const Setting& setting = (line ? kLineSettings : kDialSettings)[random() % 3];
        text += std::string(setting.key) + (random() % 4 ? " = " : "=") + fuzz::Pick(random, setting.values)
            + (random() % 6 ? "\n" : "\r\n");
    }
    return text;
}

// Sensible sections (now and then more lines than allowed), then perhaps damage: a line that is
// not sensible, or random bytes.
std::string RandomConfig(std::mt19937& random)
{
    std::string text;
    for (int section = int(random() % (random() % 8 ? 12 : 50)); section >= 0; --section)
        text += RandomSection(random, section);
    if (random() % 3 == 0) {
        const std::string odd = random() % 4 ? fuzz::Pick(random, kOddLines) : fuzz::RandomText(random, 30, "[]=#;\r\t ");
        std::size_t at = text.find('\n', random() % text.size());
        text.insert(at == std::string::npos ? text.size() : at + 1, odd + "\n");
    }
    return random() % 6 == 0 ? fuzz::Mutate(random, text) : text;
}

std::size_t LineCount(const std::string& text)
{
    return std::size_t(std::count(text.begin(), text.end(), '\n')) + 1;
}

// Opens the service as an application would and checks the devices it offers.
void ExpectSensibleDevices(const std::string& text)
{
    HLINEAPP app = 0;
    DWORD count = 0;
    DWORD version = TAPI_VERSION_HIGHEST;
    ASSERT_EQ(lineInitializeExA(&app, nullptr, Ignore, "fuzz", &count, &version, nullptr), 0) << text;
    EXPECT_GE(count, 1u) << text;
    EXPECT_LE(count, 32u) << text;
    for (DWORD device = 0; device < count; ++device) {
        std::vector<unsigned char> block(1268);
        auto* caps = reinterpret_cast<LINEDEVCAPS*>(block.data());
        caps->dwTotalSize = DWORD(block.size());
        ASSERT_EQ(lineGetDevCapsA(app, device, version, 0, caps), 0) << text;
        EXPECT_GE(caps->dwLineNameSize, 2u) << text;
        EXPECT_LE(caps->dwLineNameSize, 104u) << text;
    }
    lineShutdown(app);
}

class FuzzConfiguration : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK); }
    void TearDown() override { tapisimConfigure(nullptr); }
};

} // namespace

TEST_F(FuzzConfiguration, IsTakenOrRefusedWithTheNumberOfOneOfItsLines)
{
    std::mt19937 random(18);
    int taken = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomConfig(random);
        const LONG result = tapisimConfigure(text.c_str());
        if (result == TAPISIM_OK) {
            ++taken;
            ExpectSensibleDevices(text);
            continue;
        }
        ASSERT_EQ(result, TAPISIM_E_CONFIG) << text;
        const std::string error = tapisimLastError();
        ASSERT_EQ(error.rfind("line ", 0), 0u) << error;
        ASSERT_LE(std::strtoul(error.c_str() + 5, nullptr, 10), LineCount(text)) << error << "\n" << text;
    }
    EXPECT_GT(taken, 1000) << "the generator must reach the paths of a good configuration too";
}
