#include "settings/settings_store.h"

#include "platform/registry.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>

using testing_support::TempDir;
namespace S = Settings;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    TempDir m_dir;
    platform::RegistryHive m_hive{m_dir / "registry.reg"};
    SettingsStore m_settings{m_hive};
};

constexpr std::string_view kKey = SettingsStore::kKeyPath;

}  // namespace

TEST_F(SettingsStoreTest, WithNoKeyNumbersReadZeroTextsTheirDefaultsAndBlocksZeros)
{
    EXPECT_EQ(m_settings.Read(S::kAnswerAfter), 0);
    EXPECT_EQ(m_settings.Read(S::kIsSystemDialer), 0);
    EXPECT_EQ(m_settings.Read(S::kPlayTo), "*");
    EXPECT_EQ(m_settings.Read(S::kCallRecordingsPath, "/data"), "/data/CallRecordings");
    EXPECT_EQ(m_settings.Read(S::kMacroName, {}, 3), "Macro 3");

    unsigned char placement[44];
    std::memset(placement, 0xAA, sizeof placement);
    EXPECT_FALSE(m_settings.Read(S::kPlacement, placement));
    for (unsigned char b : placement)
        EXPECT_EQ(b, 0);
    EXPECT_FALSE(std::filesystem::exists(m_hive.Path())) << "reading must never write";
}

TEST_F(SettingsStoreTest, OnceTheKeyExistsMissingValuesReadTheirDefaults)
{
    ASSERT_TRUE(m_settings.Write(S::kLastTab, 2));
    EXPECT_TRUE(m_hive.KeyExists("SOFTWARE\\Brindlex"));
    EXPECT_EQ(m_settings.Read(S::kLastTab), 2);
    EXPECT_EQ(m_settings.Read(S::kAnswerAfter), 3);
    EXPECT_EQ(m_settings.Read(S::kCallLogColumn1Width), 162);
    EXPECT_EQ(m_settings.Read(S::kLineHeadset, 6), -1);
    EXPECT_EQ(m_settings.Read(S::kIsSystemDialer), 1);
    EXPECT_EQ(m_settings.Read(S::kMacroName, {}, 3), "Macro 3");
    EXPECT_EQ(m_settings.Read(S::kMacroNumber, {}, 3), "");
}

TEST_F(SettingsStoreTest, PerItemNamesAreOneBasedAndIndependent)
{
    ASSERT_TRUE(m_settings.Write(S::kLineHeadset, 1, 6));
    ASSERT_TRUE(m_settings.Write(S::kMacroName, "Voicemail", 4));
    EXPECT_TRUE(m_hive.Query(kKey, "Line6 headset"));
    EXPECT_TRUE(m_hive.Query(kKey, "macro 4 NAME"));
    EXPECT_EQ(m_settings.Read(S::kLineHeadset, 6), 1);
    EXPECT_EQ(m_settings.Read(S::kLineHeadset, 5), -1);
    EXPECT_EQ(m_settings.Read(S::kMacroName, {}, 4), "Voicemail");
    EXPECT_EQ(m_settings.Read(S::kMacroName, {}, 1), "Macro 1");
}

TEST_F(SettingsStoreTest, TextThatDoesNotFitTheReadersBufferReadsAsTheDefault)
{
    // "Play to" is read into 210 bytes: 209 characters and the terminator fit, 210 do not.
    ASSERT_TRUE(m_settings.Write(S::kPlayTo, std::string(209, 'x')));
    EXPECT_EQ(m_settings.Read(S::kPlayTo), std::string(209, 'x'));
    ASSERT_TRUE(m_settings.Write(S::kPlayTo, std::string(210, 'x')));
    EXPECT_EQ(m_settings.Read(S::kPlayTo), "*");
    ASSERT_TRUE(m_settings.Write(S::kPlayTo, std::string(5000, 'y')));
    EXPECT_EQ(m_settings.Read(S::kPlayTo), "*");

    char small[4];
    m_settings.ReadText(kKey, "Missing", "defaultlong", small, sizeof small);
    EXPECT_STREQ(small, "def") << "a default longer than the buffer is cut, never overflows";
}

TEST_F(SettingsStoreTest, ValuesOfTheWrongTypeReadAsDefaults)
{
    ASSERT_TRUE(m_hive.Set(kKey, "Answer after", platform::RegValue::Text("5")));
    ASSERT_TRUE(m_hive.Set(kKey, "Play to", platform::RegValue::Number(7)));
    ASSERT_TRUE(m_hive.Set(kKey, "Default line", platform::RegValue::Number(1)));
    EXPECT_EQ(m_settings.Read(S::kAnswerAfter), 3);
    EXPECT_EQ(m_settings.Read(S::kPlayTo), "*");
    std::int32_t line = 99;
    EXPECT_FALSE(m_settings.Read(S::kDefaultLine, &line));
    EXPECT_EQ(line, 0);
}

TEST_F(SettingsStoreTest, BlocksRoundTripAndOversizedBlocksFail)
{
    std::int32_t line = 4;
    ASSERT_TRUE(m_settings.Write(S::kDefaultLine, &line));
    std::int32_t back = 0;
    EXPECT_TRUE(m_settings.Read(S::kDefaultLine, &back));
    EXPECT_EQ(back, 4);

    char search[100] = "John Smith";
    ASSERT_TRUE(m_settings.Write(S::kLastSearchString, search));
    char read[100];
    std::memset(read, 'z', sizeof read);
    EXPECT_TRUE(m_settings.Read(S::kLastSearchString, read));
    EXPECT_STREQ(read, "John Smith");

    std::vector<unsigned char> big(200, 1);
    ASSERT_TRUE(m_settings.WriteBlock("", "Last search string", big.data(), big.size()));
    std::memset(read, 'z', sizeof read);
    EXPECT_FALSE(m_settings.Read(S::kLastSearchString, read));
    for (char c : read)
        EXPECT_EQ(c, 0);
}

TEST_F(SettingsStoreTest, NumbersKeepTheirSign)
{
    ASSERT_TRUE(m_settings.Write(S::kLineHeadset, -1, 2));
    EXPECT_EQ(m_settings.Read(S::kLineHeadset, 2), -1);
    ASSERT_TRUE(m_settings.Write(S::kMissedCallsViewedAt, static_cast<std::int32_t>(0xF0000000u)));
    EXPECT_EQ(static_cast<std::uint32_t>(m_settings.Read(S::kMissedCallsViewedAt)), 0xF0000000u);
}

TEST_F(SettingsStoreTest, HandoffValuesLiveUnderTheSystemKey)
{
    EXPECT_EQ(m_settings.ReadText(S::kHandoffKeyPath, S::kRequestMakeCall.name, "", 260), "");
    ASSERT_TRUE(m_settings.WriteText(S::kHandoffKeyPath, S::kRequestMakeCall.name, "/usr/bin/kestrium"));
    EXPECT_TRUE(m_hive.KeyExists("Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\HandoffPriorities"));
    EXPECT_FALSE(m_hive.KeyExists(kKey));
    EXPECT_EQ(m_settings.ReadText(S::kHandoffKeyPath, "requestmakecall", "", 260), "/usr/bin/kestrium");
}
