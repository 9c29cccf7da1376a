#include "store/contact_store.h"
#include "store/locale_compare.h"

#include "support/temp_dir.h"

#include <QCollator>
#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

// One 35-column line: group, first, last, middle, title, company, display, default, ten number and
// label pairs, street, street 2, city, state, zip, country, note.
std::string Line(const std::string& group, const std::string& first, const std::string& last,
    const std::string& display, int defaultIndex, const std::vector<std::string>& numbers,
    const std::string& note = "", const std::string& company = "")
{
    static const int kLabels[] = { 0, 1, 2, 12, 11, 5, 8, 7, 3, 4 };
    std::string line = "\"" + group + "\",\"" + first + "\",\"" + last + "\",\"\",\"\",\"" + company + "\",\""
        + display + "\",\"" + std::to_string(defaultIndex) + "\"";
    for (int slot = 0; slot < 10; ++slot) {
        std::string number = slot < int(numbers.size()) ? numbers[slot] : "";
        line += ",\"" + number + "\",\"" + std::to_string(kLabels[slot]) + "\"";
    }
    line += ",\"1 Main St\",\"\",\"Springfield\",\"\",\"\",\"\",\"" + note + "\"\r\n";
    return line;
}

ContactRecord Person(std::string first, std::string last, std::string middle = "")
{
    ContactRecord record;
    record.SetFirstName(first);
    record.SetLastName(last);
    record.SetMiddleName(middle);
    return record;
}

class ContactStoreFile : public testing::Test {
protected:
    TempDir m_dir;
    std::filesystem::path m_file = m_dir / "KestriumContacts200.csv";
    ContactStore m_store{ m_dir / "KestriumContactGroups.csv", m_dir / "KestriumPhoneLabels.csv" };
};

// The texts share one buffer: setting one, growing or shrinking, or from another text of the same
// record, leaves every other text as it was.
TEST(ContactRecord, TextsSharingOneBufferStayApart)
{
    ContactRecord record = Person("Ann", "Lee", "Marie");
    record.SetNumber(0, "555 1234");
    record.SetNumber(9, "sip:ann@example.org");
    record.SetNote("line one\nline two");
    record.SetCompany(std::string(2000, 'c'));
    record.SetTitle(record.Company().substr(0, 3));
    record.SetCity(record.City()); // itself, empty
    record.SetStreet(record.FirstName());
    record.SetCompany("");
    record.SetNumber(4, record.Number(9));
    record.SetNumber(10, "ignored");
    EXPECT_EQ(record.Group(), "Unfiled");
    EXPECT_EQ(record.FirstName(), "Ann");
    EXPECT_EQ(record.LastName(), "Lee");
    EXPECT_EQ(record.MiddleName(), "Marie");
    EXPECT_EQ(record.Title(), "ccc");
    EXPECT_EQ(record.Company(), "");
    EXPECT_EQ(record.Street(), "Ann");
    EXPECT_EQ(record.City(), "");
    EXPECT_EQ(record.Note(), "line one\nline two");
    EXPECT_EQ(record.Number(0), "555 1234");
    EXPECT_EQ(record.Number(4), "sip:ann@example.org");
    EXPECT_EQ(record.Number(9), "sip:ann@example.org");
    EXPECT_EQ(record.Number(10), "");
    EXPECT_EQ(record.NumberCount(), 3);
    record.SetDisplayName(std::string(400, 'd'));
    EXPECT_EQ(record.DisplayName().size(), ContactRecord::kDisplayNameLimit);
    const ContactRecord copy = record;
    record.SetFirstName("Bea");
    EXPECT_EQ(copy.FirstName(), "Ann") << "a copy has its own buffer";
}

TEST_F(ContactStoreFile, RoundTripsAFileWithCrLfByteForByte)
{
    const std::string bytes = Line("Family", "John", "Smith", "John Smith (Mobile)", 2,
                                  { "", "555 1", "555 2" }, "Met at \"\"Joe's\"\"\\nC:\\\\docs\r\\nend")
        + Line("Unfiled", "", "", "", 0, {}, "", "ACME, Inc.");
    WriteBytes(m_file, bytes);
    m_store.Load(m_file);
    ASSERT_EQ(m_store.Count(), 2u);
    const ContactRecord& john = *m_store.GetAt(0);
    EXPECT_EQ(john.Note(), "Met at \"Joe's\"\nC:\\docs\r\nend");
    EXPECT_EQ(john.City(), "Springfield");
    EXPECT_EQ(m_store.GetAt(1)->DisplayName(), "") << "a company alone gives no display name";
    ASSERT_TRUE(m_store.Save(m_file));
    EXPECT_EQ(ReadBytes(m_file), bytes);
}

TEST_F(ContactStoreFile, LoadComposesDisplayNamesAndRepairsTheDefaultNumber)
{
    WriteBytes(m_file,
        Line("Family", "John", "Smith", "", 2, { "", "", "555" })
            + Line("Family", "Ann", "Lee", "Stale Name", 0, { "", "", "777" })
            + Line("Family", "Bob", "Ray", "", 0, {}));
    m_store.Load(m_file);
    ASSERT_EQ(m_store.Count(), 3u);
    EXPECT_EQ(m_store.GetAt(0)->DisplayName(), "John Smith (Mobile)");
    EXPECT_EQ(m_store.GetAt(1)->DisplayName(), "Ann Lee (Mobile)");
    EXPECT_EQ(m_store.GetAt(1)->DefaultNumberIndex(), 2);
    EXPECT_EQ(m_store.GetAt(2)->DefaultNumberIndex(), 0);
    EXPECT_EQ(m_store.GetAt(2)->DisplayName(), "Bob Ray (Home)");
}

TEST_F(ContactStoreFile, CutOffRecordIsDroppedAndEarlierOnesStay)
{
    std::string full = Line("Family", "Ann", "Lee", "", 0, { "1" });
    WriteBytes(m_file, full + full.substr(0, 60));
    m_store.Load(m_file);
    EXPECT_EQ(m_store.Count(), 1u);
    WriteBytes(m_file, full + "\r\n" + full);
    m_store.Load(m_file);
    EXPECT_EQ(m_store.Count(), 1u) << "a blank line ends the file";
    WriteBytes(m_file, full + "Ann,Lee\r\n" + full);
    m_store.Load(m_file);
    EXPECT_EQ(m_store.Count(), 1u) << "an unquoted line ends the file";
}

TEST_F(ContactStoreFile, UnknownGroupIsCreatedInMemoryOnly)
{
    WriteBytes(m_file, Line("Golf Club", "Ann", "Lee", "", 0, { "1" }));
    m_store.Load(m_file);
    EXPECT_TRUE(m_store.Groups().Find("golf club"));
    EXPECT_EQ(m_store.GetAt(0)->Group(), "Golf Club");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "KestriumContactGroups.csv"));
}

TEST_F(ContactStoreFile, ContactOfAGroupThatCannotBeAddedGoesToUnfiled)
{
    for (int i = 0; m_store.Groups().CanAdd(); ++i)
        m_store.Groups().Add("Group " + std::to_string(i));
    WriteBytes(
        m_file, Line("Golf Club", "Ann", "Lee", "", 0, { "1" }) + Line("family", "Bo", "Li", "", 0, { "2" }));
    m_store.Load(m_file);
    EXPECT_EQ(m_store.GetAt(0)->Group(), "Unfiled");
    EXPECT_EQ(m_store.GetAt(1)->Group(), "family") << "an existing group keeps the record's spelling";
}

TEST_F(ContactStoreFile, DeletingAGroupMovesItsContactsToUnfiledAndSavesThem)
{
    m_store.Append(Person("Ann", "Lee"));
    m_store.GetAt(0)->SetGroup("Friends", m_store.Groups());
    m_store.Append(Person("Bo", "Li"));
    m_store.GetAt(1)->SetGroup("Family", m_store.Groups());
    ASSERT_TRUE(m_store.DeleteGroup("friends", m_file));
    EXPECT_FALSE(m_store.Groups().Find("Friends"));
    EXPECT_EQ(m_store.GetAt(0)->Group(), "Unfiled");
    EXPECT_EQ(m_store.GetAt(1)->Group(), "Family");
    ContactStore reloaded;
    reloaded.Load(m_file);
    EXPECT_EQ(reloaded.GetAt(0)->Group(), "Unfiled");
    EXPECT_FALSE(m_store.DeleteGroup("No Such Group", m_file));
}

TEST_F(ContactStoreFile, RenamingAGroupKeepsItsPlaceAndTheContactsFollow)
{
    m_store.Append(Person("Ann", "Lee"));
    m_store.GetAt(0)->SetGroup("Friends", m_store.Groups());
    ASSERT_TRUE(m_store.RenameGroup("Friends", "Zoo", m_file));
    EXPECT_EQ(*m_store.Groups().GetAt(2), "Zoo");
    EXPECT_EQ(m_store.GetAt(0)->Group(), "Zoo");
    EXPECT_EQ(m_store.ContactTreeEntries("Zoo", ""), std::vector<std::size_t>{ 0 });
}

TEST(ContactStore, AppendComposesTheDisplayNameAndStopsAtTheLimit)
{
    ContactStore store;
    ContactRecord record = Person("John", "Smith");
    record.SetDisplayName("ignored");
    record.SetNumber(0, "1");
    ASSERT_TRUE(store.Append(record));
    EXPECT_EQ(store.GetAt(0)->DisplayName(), "John Smith (Home)");
    for (std::size_t i = 1; i < ContactStore::kMaxRecords; ++i)
        ASSERT_TRUE(store.Append(record));
    EXPECT_FALSE(store.Append(record));
    EXPECT_EQ(store.Count(), ContactStore::kMaxRecords);
    EXPECT_TRUE(store.RemoveAt(0));
    EXPECT_FALSE(store.RemoveAt(ContactStore::kMaxRecords));
    EXPECT_EQ(store.GetAt(ContactStore::kMaxRecords), nullptr);
}

struct QueryCase {
    std::string text;
    int expected;
};

void PrintTo(const QueryCase& c, std::ostream* os)
{
    *os << "query \"" << c.text << "\" matches field " << c.expected;
}

class MatchesQueryCases : public testing::TestWithParam<QueryCase> { };

TEST_P(MatchesQueryCases, FindsNameWordsInDifferentFields)
{
    ContactRecord john = Person("John", "Smith", "Quincy");
    john.SetTitle("Dr");
    john.SetCompany("Acme");
    john.SetNote("johnny");
    john.SetCity("Smithville");
    EXPECT_EQ(ContactStore::MatchesQuery(john, GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(ContactStore, MatchesQueryCases,
    testing::Values(QueryCase{ "jo", 1 }, QueryCase{ "QUI", 2 }, QueryCase{ "smi", 3 }, QueryCase{ "dr", 4 },
        QueryCase{ "acme", 5 }, QueryCase{ "", 1 }, QueryCase{ "jo sm", 1 }, QueryCase{ "sm jo", 1 },
        QueryCase{ "jo jo", 0 }, QueryCase{ "jo ", 1 }, QueryCase{ "sm ", 3 }, QueryCase{ "jo q sm", 1 },
        QueryCase{ "xy sm", 0 }, QueryCase{ "jo xy", 0 }, QueryCase{ "johnny", 0 }, QueryCase{ "555", 0 },
        QueryCase{ "smithv", 0 }, QueryCase{ "jo  sm", 1 }),
    // Each blank shows, so "jo sm" and "jo  sm" stay apart.
    [](const auto& info) {
        std::string name = info.param.text.empty() ? "Empty" : info.param.text;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST(ContactStore, MatchesQueryFoldsOnlyAsciiLettersAndCutsLongTexts)
{
    ContactRecord record = Person("\xc3\x89mile", "Zola");
    EXPECT_EQ(ContactStore::MatchesQuery(record, "\xc3\x89m"), 1);
    EXPECT_EQ(ContactStore::MatchesQuery(record, "\xc3\xa9m"), 0);
    ContactRecord longName = Person(std::string(300, 'a'), "");
    EXPECT_EQ(ContactStore::MatchesQuery(longName, std::string(250, 'a') + "zzz"), 1) << "cut to 199";
    EXPECT_EQ(ContactStore::MatchesQuery(record, "zola", 3), 0) << "the excluded field is skipped";
}

TEST(ContactRecord, ComposesDisplayNameFromFirstMiddleAndLast)
{
    PhoneLabelStore labels;
    ContactRecord record = Person("John", "Smith", "Q");
    record.ComposeDisplayName(nullptr);
    EXPECT_EQ(record.DisplayName(), "John Q Smith");
    record.SetDefaultNumberIndex(2);
    record.ComposeDisplayName(&labels);
    EXPECT_EQ(record.DisplayName(), "John Q Smith (Mobile)");
    record.SetLabelIndex(2, 14);
    record.ComposeDisplayName(&labels);
    EXPECT_EQ(record.DisplayName(), "John Q Smith") << "a label index without a name adds no suffix";
    ContactRecord titleOnly;
    titleOnly.SetTitle("Dr");
    titleOnly.ComposeDisplayName(&labels);
    EXPECT_EQ(titleOnly.DisplayName(), "");
    ContactRecord lastOnly = Person("", "Smith");
    lastOnly.ComposeDisplayName(&labels);
    EXPECT_EQ(lastOnly.DisplayName(), "Smith (Home)");
}

TEST(ContactRecord, LongNamesAreCutSoTheLabelStillFits)
{
    PhoneLabelStore labels;
    ContactRecord record = Person(std::string(200, 'a'), std::string(200, 'b'));
    record.ComposeDisplayName(&labels);
    EXPECT_EQ(record.DisplayName().size(), ContactRecord::kDisplayNameLimit);
    std::string name;
    ASSERT_TRUE(record.NameWithoutLabel(name));
    EXPECT_EQ(name.size(), ContactRecord::kDisplayNameLimit - 7);
}

// Only a last parenthesis after a blank is a label; without one the name is the whole text.
TEST(ContactRecord, NameWithoutLabelCutsTheTrailingLabel)
{
    const struct {
        const char* displayName;
        bool hadLabel;
        const char* name;
    } cases[] = {
        { "John Smith (Mobile)", true, "John Smith" },
        { "ACME (UK) Ltd", false, "ACME (UK) Ltd" },
        { "A(b)", false, "A(b)" },
        { "(x) (y)", true, "(x)" },
        { "ab(cd)", false, "ab(cd)" },
    };
    for (const auto& c : cases) {
        ContactRecord record;
        record.SetDisplayName(c.displayName);
        std::string name;
        EXPECT_EQ(record.NameWithoutLabel(name), c.hadLabel) << c.displayName;
        EXPECT_EQ(name, c.name);
    }
}

TEST(ContactRecord, SlotAccessIgnoresSlotsPastTheTenth)
{
    ContactRecord record;
    EXPECT_EQ(record.LabelIndex(3), 12);
    EXPECT_EQ(record.LabelIndex(9), 4);
    record.SetLabelIndex(-1, 3);
    EXPECT_EQ(record.LabelIndex(-1), 0);
    record.SetDefaultNumberIndex(42);
    EXPECT_EQ(record.DefaultNumber(), "");
}

class ContactTree : public testing::Test {
protected:
    void SetUp() override
    {
        m_store.Groups().Load(m_dir / "missing.csv");
        Add("Zed", "Adams", "Family", { "1" });
        Add("ann", "Baker", "family", { "", "2", "", "", "", "", "3" });
        Add("Bob", "Clark", "Business", {});
    }

    void Add(std::string first, std::string last, std::string group, std::vector<std::string> numbers)
    {
        ContactRecord record = Person(first, last);
        record.SetGroup(group, m_store.Groups());
        for (int slot = 0; slot < int(numbers.size()); ++slot)
            record.SetNumber(slot, numbers[slot]);
        m_store.Append(record);
    }

    TempDir m_dir;
    ContactStore m_store;
};

TEST_F(ContactTree, ShowsTheGroupsContactsSortedByDisplayName)
{
    EXPECT_EQ(m_store.ContactTreeEntries("All", ""), (std::vector<std::size_t>{ 1, 2, 0 }));
    EXPECT_EQ(m_store.ContactTreeEntries("all", ""), (std::vector<std::size_t>{ 1, 2, 0 }));
    EXPECT_EQ(m_store.ContactTreeEntries("FAMILY", ""), (std::vector<std::size_t>{ 1, 0 }));
    EXPECT_EQ(m_store.ContactTreeEntries("All", "b"), (std::vector<std::size_t>{ 1, 2 }));
    EXPECT_EQ(m_store.ContactTreeEntries("Family", "z ad"), (std::vector<std::size_t>{ 0 }));
    EXPECT_TRUE(m_store.ContactTreeEntries("Unfiled", "").empty());
}

// The tree sorts by precomputed keys; its order must be exactly the stable order of
// CompareTextNoCase over the display names.
TEST(ContactStore, TreeOrderIsTheStableCaseFoldedLocaleOrder)
{
    const char* const names[] = { "zoë", "Zoe", "zoe", "\xc3\x89mile", "emile", "Emile", "o'brien", "OBrien",
        "O Brien", "", "\xc3\x9f", "ss", "SS", "\xc3\x85sa", "Asa", "aSa", "10", "9", "#1", "-x", "x" };
    ContactStore store;
    for (const char* name : names) {
        store.Append(Person(name, ""));
        store.Append(Person("", name));
    }
    std::vector<std::size_t> expected(store.Count());
    for (std::size_t k = 0; k < expected.size(); ++k)
        expected[k] = k;
    std::stable_sort(expected.begin(), expected.end(), [&store](std::size_t a, std::size_t b) {
        return CompareTextNoCase(store.GetAt(a)->DisplayName(), store.GetAt(b)->DisplayName()) < 0;
    });
    EXPECT_EQ(store.ContactTreeEntries("All", ""), expected);
}

// The sorter's keys must order texts exactly as Qt's own collator compares them, in the C locale
// and in locales with their own rules (German sharp s, Danish "aa" after "z", Swedish "ö" after
// "z", a decomposed accent equal to the composed one), with and without case folding (also beyond
// the basic plane), for texts that are no valid UTF-8 or start with a byte order mark, and stay
// stable for a list long enough to be keyed in two halves.
TEST(TextSorter, OrdersAsTheCollatorOfTheDefaultLocale)
{
    const char* const texts[] = { "zo\xc3\xab", "Zoe", "zoe", "\xc3\x89mile", "E\xcc\x81mile", "emile",
        "Emile", "o'brien", "OBrien", "O Brien", "", "\xc3\x9f", "ss", "SS", "\xc3\x85sa", "Aasa", "aasa",
        "Asa", "aSa", "zz", "\xc3\xb6rn", "Orn", "10", "9", "#1", "-x", "x", "\xe4\xb8\xad",
        "\xf0\x9f\x98\x80", "\xef\xbc\xa1",
        "\xef\xbb\xbf"
        "Bom",
        "\xf0\x90\x90\x80", "\xf0\x90\x90\xa8", "a\xff", "\xc0\x80x", "\xed\xa0\x80", "\x80", "Z\xc3" };
    const QLocale before;
    for (const QLocale& locale : { QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
             QLocale(QLocale::Danish, QLocale::Denmark), QLocale(QLocale::Swedish, QLocale::Sweden) }) {
        QLocale::setDefault(locale);
        const QCollator collator(locale);
        for (bool foldCase : { false, true }) {
            SCOPED_TRACE(locale.name().toStdString() + (foldCase ? " folded" : ""));
            std::vector<std::string> names;
            for (int i = 0; i < 9000; ++i)
                names.push_back(texts[(i * 7) % std::size(texts)]);
            const auto qtext = [&](std::size_t i) {
                const QString text = QString::fromStdString(names[i]);
                return foldCase ? text.toCaseFolded() : text;
            };
            for (std::size_t count : { std::size(texts), names.size() }) {
                std::vector<std::size_t> expected(count);
                for (std::size_t k = 0; k < count; ++k)
                    expected[k] = k;
                std::vector<QString> keys;
                for (std::size_t k = 0; k < count; ++k)
                    keys.push_back(qtext(k));
                std::stable_sort(expected.begin(), expected.end(),
                    [&](std::size_t a, std::size_t b) { return collator.compare(keys[a], keys[b]) < 0; });
                std::vector<std::size_t> sorted(count);
                for (std::size_t k = 0; k < count; ++k)
                    sorted[k] = k;
                TextSorter(foldCase).Sort(
                    sorted, [&](std::size_t i) -> std::string_view { return names[i]; });
                EXPECT_EQ(sorted, expected) << count << " texts";
            }
        }
    }
    QLocale::setDefault(before);
}

// The tree's order of the contacts that a group and search show, worked out the slow, plain way.
std::vector<std::size_t> StableTreeOrder(
    const ContactStore& store, std::string_view group, std::string_view text)
{
    const std::string digits = ContactStore::SearchDigits(text);
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < store.Count(); ++i)
        if (ContactStore::ShowsInContactTree(*store.GetAt(i), group, text, digits))
            shown.push_back(i);
    std::stable_sort(shown.begin(), shown.end(), [&store](std::size_t a, std::size_t b) {
        return CompareTextNoCase(store.GetAt(a)->DisplayName(), store.GetAt(b)->DisplayName()) < 0;
    });
    return shown;
}

// The order prepared after loading gives every group and search the tree's own order, also for a
// list long enough to be sorted in two halves (equal names keep store order across them), and
// any change to the records (edited, added, removed, reloaded, cleared) is followed.
TEST(ContactStore, PreparedTreeOrderFollowsGroupsSearchesAndChanges)
{
    TempDir dir;
    const std::filesystem::path file = dir.Path() / ContactStore::kFileName;
    ContactStore store;
    store.Groups().Load(dir / "missing.csv");
    const char* const names[]
        = { "zo\xc3\xab", "Zoe", "\xc3\x89mile", "emile", "Ann", "ann", "Bob", "", "O'Brien" };
    for (int i = 0; i < 9000; ++i) {
        ContactRecord record = Person(names[i % 9], i % 4 == 0 ? "" : "Lee");
        record.SetGroup(i % 3 == 0 ? "Family" : "Business", store.Groups());
        record.SetNumber(0, "555 " + std::to_string(i));
        store.Append(record);
    }
    ASSERT_TRUE(store.Save(file));
    const auto expectTreeOrder = [&store](const char* step) {
        SCOPED_TRACE(step);
        for (const auto& [group, text] : { std::pair{ "All", "" }, std::pair{ "family", "e" },
                 std::pair{ "Business", "55 51" }, std::pair{ "All", "ann l" } })
            EXPECT_EQ(store.ContactTreeEntries(group, text), StableTreeOrder(store, group, text));
    };
    store.PrepareTreeOrder();
    expectTreeOrder("prepared");
    store.GetAt(8)->SetFirstName("Aaron");
    store.GetAt(8)->ComposeDisplayName(&store.Labels());
    expectTreeOrder("edited");
    store.PrepareTreeOrder();
    store.Append(Person("Abe", ""));
    expectTreeOrder("appended");
    store.PrepareTreeOrder();
    store.RemoveAt(1);
    expectTreeOrder("removed");
    store.PrepareTreeOrder();
    store.Load(file);
    expectTreeOrder("reloaded");
    store.PrepareTreeOrder();
    store.Clear();
    expectTreeOrder("cleared");
}

TEST_F(ContactTree, NumberChildrenComeInDescendingSlotOrder)
{
    const ContactRecord& ann = *m_store.GetAt(1);
    EXPECT_EQ(ContactStore::NumberChildSlots(ann), (std::vector<int>{ 6, 1 }));
    EXPECT_EQ(m_store.NumberChildText(ann, 6), "MSN: 3");
    EXPECT_EQ(m_store.NumberChildText(ann, 1), "Work: 2");
    EXPECT_EQ(ContactStore::NumberChildImage(ann.LabelIndex(6)), 19);
    EXPECT_EQ(ContactStore::NumberChildImage(ann.LabelIndex(1)), 9);
    EXPECT_EQ(ContactStore::NumberChildImage(4), 9);
    EXPECT_EQ(ContactStore::NumberChildImage(11), 9);
}

TEST_F(ContactTree, SelectsTheFirstContactOnlyForASearch)
{
    EXPECT_EQ(ContactStore::ContactTreeSelection(1, false), 0u);
    EXPECT_EQ(ContactStore::ContactTreeSelection(3, false), 1u);
    EXPECT_EQ(ContactStore::ContactTreeSelection(3, true), 0u);
}

TEST_F(ContactTree, NarrowsOnlyForTheSameGroupAndALongerTextUntilCleared)
{
    EXPECT_FALSE(m_store.CanNarrowContactTree("All", "", false));
    m_store.RememberContactTreeFill("All", "jo", 3);
    EXPECT_TRUE(m_store.CanNarrowContactTree("All", "joh", false));
    EXPECT_FALSE(m_store.CanNarrowContactTree("All", "joh", true));
    EXPECT_FALSE(m_store.CanNarrowContactTree("all", "joh", false));
    EXPECT_FALSE(m_store.CanNarrowContactTree("All", "j", false));
    EXPECT_EQ(m_store.LastContactTreeCount(), 3u);
    m_store.Clear();
    EXPECT_FALSE(m_store.CanNarrowContactTree("All", "joh", false));
    EXPECT_EQ(m_store.LastContactTreeCount(), 0u);
    EXPECT_EQ(m_store.Count(), 0u);
}

} // namespace
