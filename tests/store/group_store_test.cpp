#include "store/group_store.h"
#include "store/phone_label_store.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

std::vector<std::string> Names(const GroupStore& groups)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < groups.Count(); ++i)
        names.push_back(*groups.GetAt(i));
    return names;
}

class Groups : public testing::Test {
protected:
    void SetUp() override { m_groups.Load(m_dir / "missing.csv"); }

    TempDir m_dir;
    GroupStore m_groups;
};

TEST_F(Groups, MissingFileGivesTheSixDefaultsInOrder)
{
    EXPECT_EQ(Names(m_groups),
        (std::vector<std::string>{ "Business", "Family", "Friends", "Others", "QuickList", "Unfiled" }));
    ASSERT_TRUE(m_groups.Save(m_dir / "g.csv"));
    EXPECT_EQ(ReadBytes(m_dir / "g.csv"),
        "\"Business\",\"Family\",\"Friends\",\"Others\",\"QuickList\",\"Unfiled\"");
}

TEST_F(Groups, AddKeepsCaseInsensitiveOrderAndRefusesDuplicates)
{
    EXPECT_TRUE(m_groups.Add("family"));
    EXPECT_EQ(m_groups.Count(), 6u);
    EXPECT_TRUE(m_groups.Add("Work"));
    EXPECT_TRUE(m_groups.Add("clients"));
    EXPECT_EQ(Names(m_groups),
        (std::vector<std::string>{
            "Business", "clients", "Family", "Friends", "Others", "QuickList", "Unfiled", "Work" }));
    EXPECT_TRUE(m_groups.Find("WORK"));
    EXPECT_FALSE(m_groups.Find("Wor"));
}

TEST_F(Groups, UnfiledGoesToTheEndWhenAdded)
{
    GroupStore groups;
    groups.Add("Zoo");
    groups.Add("unfiled");
    groups.Add("Apple");
    groups.Add("Zebra");
    groups.Add("Zz");
    EXPECT_EQ(Names(groups), (std::vector<std::string>{ "Apple", "Zebra", "Zoo", "unfiled", "Zz" }));
}

TEST_F(Groups, FoldsCaseBeyondAscii)
{
    EXPECT_TRUE(m_groups.Add("\xc3\x89quipe")); // "Équipe"
    EXPECT_TRUE(m_groups.Find("\xc3\xa9quipe"));
    EXPECT_TRUE(m_groups.Add("\xc3\xa9QUIPE"));
    EXPECT_EQ(m_groups.Count(), 7u);
}

TEST_F(Groups, FileWithFortyNamesLoadsTheFirstThirtyTwoDistinctSorted)
{
    std::string bytes = "\"n39\",\"N39\""; // the same name twice
    for (int i = 38; i >= 0; --i)
        bytes += ",\"n" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "\"";
    WriteBytes(m_dir / "g.csv", bytes);
    GroupStore groups;
    groups.Load(m_dir / "g.csv");
    ASSERT_EQ(groups.Count(), 32u);
    EXPECT_FALSE(groups.CanAdd());
    EXPECT_FALSE(groups.Add("new"));
    EXPECT_TRUE(groups.Find("n08"));
    EXPECT_FALSE(groups.Find("n07")) << "the 33rd distinct name is not read";
    std::vector<std::string> names = Names(groups);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "g.csv")) << "the names not read are kept in a copy";
    int copies = 0;
    for (auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
        copies += entry.path().filename().string().starts_with("g.csv.unread-");
    EXPECT_EQ(copies, 1);
}

TEST_F(Groups, EmptyFileGivesAnEmptyStoreAndLongNamesAreCut)
{
    WriteBytes(m_dir / "g.csv", "");
    GroupStore groups;
    groups.Load(m_dir / "g.csv");
    EXPECT_EQ(groups.Count(), 0u);
    WriteBytes(m_dir / "g.csv", "\"" + std::string(150, 'n') + "\",\"B\"");
    groups.Load(m_dir / "g.csv");
    EXPECT_EQ(Names(groups), (std::vector<std::string>{ "B", std::string(99, 'n') }));
}

TEST_F(Groups, RenameAndDeleteFindTheGroupCaseInsensitively)
{
    EXPECT_TRUE(m_groups.Rename("friends", "Zoo"));
    EXPECT_EQ(*m_groups.GetAt(2), "Zoo");
    EXPECT_FALSE(m_groups.Rename("Friends", "x"));
    EXPECT_TRUE(m_groups.Delete("zoo"));
    EXPECT_FALSE(m_groups.Delete("zoo"));
    EXPECT_EQ(m_groups.Count(), 5u);
    EXPECT_EQ(m_groups.GetAt(5), nullptr);
}

TEST_F(Groups, FillersSkipEmptyNamesAndTheMenuSkipsUnfiled)
{
    m_groups.Add("");
    EXPECT_EQ(*m_groups.GetAt(0), "");
    EXPECT_EQ(m_groups.MenuGroups(), (std::vector<std::size_t>{ 1, 2, 3, 4, 5 }));
    std::vector<std::string> combo = m_groups.ComboItems(true);
    EXPECT_EQ(combo,
        (std::vector<std::string>{
            "All", "Business", "Family", "Friends", "Others", "QuickList", "Unfiled" }));
    EXPECT_EQ(m_groups.ComboItems(false).size(), 6u);
    EXPECT_EQ(GroupStore::ComboSelection(combo, "FRIENDS"), 3);
    EXPECT_EQ(GroupStore::ComboSelection(combo, "f"), 2);
    EXPECT_EQ(GroupStore::ComboSelection(combo, "al"), 0) << "the search wraps to the first item";
    EXPECT_EQ(GroupStore::ComboSelection(combo, "nothing"), -1);
    EXPECT_EQ(GroupStore::ComboSelection({}, "x"), -1);
    m_groups.Rename("Unfiled", "aaa");
    EXPECT_EQ(m_groups.ListItems().front(), "aaa");
}

TEST(PhoneLabelStore, WordsOfTheFileRenameTheFirstLabels)
{
    TempDir dir;
    PhoneLabelStore labels;
    labels.Load(dir / "missing");
    EXPECT_EQ(labels.GetLabel(0), "Home");
    EXPECT_EQ(labels.GetLabel(13), "Main");
    EXPECT_EQ(labels.GetLabel(14), "");
    EXPECT_EQ(labels.GetLabel(-1), "");
    WriteBytes(dir / "l.csv", "Casa\r\n  Trabajo\t\r\n");
    labels.Load(dir / "l.csv");
    EXPECT_EQ(labels.GetLabel(0), "Casa");
    EXPECT_EQ(labels.GetLabel(1), "Trabajo");
    EXPECT_EQ(labels.GetLabel(2), "Mobile");
}

TEST(PhoneLabelStore, LongWordsAreCutAndExtraWordsIgnored)
{
    TempDir dir;
    std::string bytes = std::string(40, 'L') + " \"quoted,\"";
    for (int i = 0; i < 14; ++i)
        bytes += " w" + std::to_string(i);
    WriteBytes(dir / "l.csv", bytes);
    PhoneLabelStore labels;
    labels.Load(dir / "l.csv");
    EXPECT_EQ(labels.GetLabel(0), std::string(32, 'L'));
    EXPECT_EQ(labels.GetLabel(1), "\"quoted,\"");
    EXPECT_EQ(labels.GetLabel(13), "w11");
}

} // namespace
