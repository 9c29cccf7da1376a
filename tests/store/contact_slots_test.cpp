#include "store/redial_store.h"
#include "store/speed_dial_store.h"

#include "store/group_store.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

std::string SlotLine(
    const std::string& first, const std::string& display, int defaultIndex, const std::string& secondNumber)
{
    std::string line = "\"Family\",\"" + first + "\",\"\",\"\",\"\",\"\",\"" + display + "\",\""
        + std::to_string(defaultIndex) + "\",\"\",\"0\",\"" + secondNumber + "\",\"1\"";
    for (int slot = 2; slot < 10; ++slot)
        line += ",\"\",\"3\"";
    return line + ",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";
}

class Slots : public testing::Test {
protected:
    TempDir m_dir;
    GroupStore m_groups;
    SpeedDialStore m_speedDials{ m_groups, PhoneLabelStore() };
    RedialStore m_redial{ m_groups, PhoneLabelStore() };
};

TEST_F(Slots, SpeedDialFileWithFourLinesLoadsFourSlotsAndSavesTen)
{
    std::string four;
    for (int i = 0; i < 4; ++i)
        four += SlotLine("P" + std::to_string(i), "", 0, "55" + std::to_string(i));
    WriteBytes(m_dir / "s.csv", four);
    ASSERT_TRUE(m_speedDials.Load(m_dir / "s.csv"));
    EXPECT_EQ(m_speedDials.GetSlot(3)->FirstName(), "P3");
    EXPECT_EQ(m_speedDials.GetSlot(3)->DisplayName(), "P3 (Home)") << "composed, no default repair";
    EXPECT_EQ(m_speedDials.GetSlot(3)->DefaultNumberIndex(), 0);
    EXPECT_EQ(m_speedDials.GetSlot(4)->FirstName(), "");
    EXPECT_EQ(m_speedDials.GetSlot(10), nullptr);
    ASSERT_TRUE(m_speedDials.Save(m_dir / "s.csv"));
    std::string saved = ReadBytes(m_dir / "s.csv");
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 10);
    EXPECT_EQ(saved.substr(0, saved.find('\n') + 1), SlotLine("P0", "P0 (Home)", 0, "550"));
    std::string lastLine = saved.substr(saved.rfind('\n', saved.size() - 2) + 1);
    EXPECT_EQ(
        lastLine.substr(0, 45), "\"Unfiled\",\"\",\"\",\"\",\"\",\"\",\"\",\"0\",\"\",\"0\",\"\",\"1\"");
}

TEST_F(Slots, StoredDisplayNameStaysAndLinesAfterTheTenthAreIgnored)
{
    std::string lines;
    for (int i = 0; i < 12; ++i)
        lines += SlotLine("P" + std::to_string(i), "Custom " + std::to_string(i), 1, "9");
    WriteBytes(m_dir / "s.csv", lines);
    ASSERT_TRUE(m_speedDials.Load(m_dir / "s.csv"));
    EXPECT_EQ(m_speedDials.GetSlot(9)->DisplayName(), "Custom 9");
    ASSERT_TRUE(m_speedDials.Save(m_dir / "s2.csv"));
    EXPECT_EQ(ReadBytes(m_dir / "s2.csv"), lines.substr(0, lines.size() / 12 * 10));
    for (auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".unread-"), std::string::npos);
}

TEST_F(Slots, ResetAndSetSlot)
{
    ContactRecord record;
    record.SetFirstName("Zed");
    m_speedDials.SetSlot(2, record);
    m_speedDials.SetSlot(10, record);
    EXPECT_EQ(m_speedDials.GetSlot(2)->FirstName(), "Zed");
    m_speedDials.Reset();
    EXPECT_EQ(m_speedDials.GetSlot(2)->FirstName(), "");
}

TEST_F(Slots, RedialingTheSameEntryKeepsOneAtTheTop)
{
    m_redial.AddRedial("Ann", "555");
    m_redial.AddRedial("", "123");
    m_redial.AddRedial("Ann", "555");
    EXPECT_EQ(m_redial.RedialMenuText(0), "Ann, 555");
    EXPECT_EQ(m_redial.RedialMenuText(1), "123");
    EXPECT_EQ(m_redial.RedialMenuText(2), "");
    m_redial.AddRedial("ann", "555");
    EXPECT_EQ(m_redial.RedialMenuText(0), "ann, 555") << "names are compared exactly";
    EXPECT_EQ(m_redial.RedialMenuText(1), "Ann, 555");
    EXPECT_EQ(m_redial.RedialMenuText(10), "");
}

TEST_F(Slots, FullRedialListDropsTheOldestEntry)
{
    for (int i = 0; i < 10; ++i)
        m_redial.AddRedial("", std::to_string(i));
    EXPECT_EQ(m_redial.RedialMenuText(9), "0");
    m_redial.AddRedial("", "new");
    EXPECT_EQ(m_redial.RedialMenuText(0), "new");
    EXPECT_EQ(m_redial.RedialMenuText(9), "1");
    const ContactRecord& fifth = *m_redial.GetSlot(5);
    m_redial.AddRedial(fifth.DisplayName(), fifth.Number(0)); // the slot's own texts
    EXPECT_EQ(m_redial.RedialMenuText(0), "5");
    EXPECT_EQ(m_redial.RedialMenuText(1), "new");
    EXPECT_EQ(m_redial.RedialMenuText(9), "1");
}

TEST_F(Slots, RedialListRoundTripsThroughItsFile)
{
    m_redial.AddRedial("Ann \"A\"", "555\\1");
    ASSERT_TRUE(m_redial.Save(m_dir / "r.csv"));
    RedialStore loaded{ m_groups, PhoneLabelStore() };
    ASSERT_TRUE(loaded.Load(m_dir / "r.csv"));
    EXPECT_EQ(loaded.RedialMenuText(0), "Ann \"A\", 555\\1");
    EXPECT_EQ(loaded.RedialMenuText(1), "");
    ASSERT_TRUE(loaded.Save(m_dir / "r2.csv"));
    EXPECT_EQ(ReadBytes(m_dir / "r.csv"), ReadBytes(m_dir / "r2.csv"));
}

} // namespace
