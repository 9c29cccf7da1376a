#include "store/call_log_store.h"

#include "platform/registry.h"
#include "settings/settings_store.h"
#include "store/recording_path.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <clocale>

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

CallLogEntry MakeEntry(
    std::string name, std::string number, std::int32_t type, CallTime start = { 2026, 12, 5, 14, 35, 12 })
{
    CallLogEntry entry;
    entry.startTime = start;
    entry.endTime = start;
    entry.endTime.minute += 2;
    entry.callerName = std::move(name);
    entry.number = std::move(number);
    entry.type = type;
    return entry;
}

std::vector<std::string> ShownNames(
    const CallLogStore& store, std::int32_t filter, std::string_view search = {})
{
    std::vector<std::string> names;
    for (std::size_t i : store.CallListEntries(filter, search))
        names.push_back(store.GetAt(i)->NameOrNumber());
    return names;
}

int UnreadCopies(const TempDir& dir)
{
    int copies = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Path()))
        copies += entry.path().filename().string().find(".unread-") != std::string::npos;
    return copies;
}

const std::string kTwoEntries
    = "\"2026\",\"12\",\"5\",\"14\",\"35\",\"12\",\"2026\",\"12\",\"5\",\"14\",\"37\",\"1\",\"Ann \"\"A\"\" "
      "Lee\","
      "\"555 1234\",\"/home/ann/notes/n1.txt\",\"File:///home/ann/rec%20one.wav\",\"4\",\"\",\"0\"\r\n"
      "\"2007\",\"1\",\"31\",\"0\",\"0\",\"0\",\"2007\",\"1\",\"31\",\"0\",\"0\",\"59\",\"\",\"[Blocked]\","
      "\"C:\\\\notes\\\\a.txt\",\"\",\"132\",\"kept\\nas is\",\"-7\"\r\n";

class CallLogStoreFile : public testing::Test {
protected:
    TempDir m_dir;
    std::filesystem::path m_file = m_dir / "KestriumCallLog.csv";
    CallLogStore m_store{ m_dir / "Deleted" };
};

TEST_F(CallLogStoreFile, RoundTripsAFileWithCrLfByteForByte)
{
    WriteBytes(m_file, kTwoEntries);
    ASSERT_TRUE(m_store.Load(m_file));
    ASSERT_EQ(m_store.Count(), 2u);
    const CallLogEntry& first = *m_store.GetAt(0);
    EXPECT_EQ(first.startTime, (CallTime{ 2026, 12, 5, 14, 35, 12 }));
    EXPECT_EQ(first.callerName, "Ann \"A\" Lee");
    EXPECT_EQ(first.recordingPath, "File:///home/ann/rec%20one.wav");
    const CallLogEntry& second = *m_store.GetAt(1);
    EXPECT_EQ(second.type, 132);
    EXPECT_EQ(second.note, "C:\\notes\\a.txt");
    EXPECT_EQ(second.reservedText, "kept\nas is");
    EXPECT_EQ(second.reservedValue, -7);
    ASSERT_TRUE(m_store.Save(m_file));
    EXPECT_EQ(ReadBytes(m_file), kTwoEntries);
    EXPECT_EQ(UnreadCopies(m_dir), 0);
}

TEST_F(CallLogStoreFile, LoadsAFileWithBareLineFeedsAndSavesItWithCrLf)
{
    std::string unixStyle = kTwoEntries;
    for (std::size_t at = unixStyle.find("\r\n"); at != std::string::npos; at = unixStyle.find("\r\n", at))
        unixStyle.erase(at, 1);
    WriteBytes(m_file, unixStyle);
    ASSERT_TRUE(m_store.Load(m_file));
    ASSERT_EQ(m_store.Count(), 2u);
    ASSERT_TRUE(m_store.Save(m_file));
    EXPECT_EQ(ReadBytes(m_file), kTwoEntries);
}

// Where loading stops: what was read before stays, and a file that was not read to its end is
// kept aside (a later save would lose its rest).
TEST_F(CallLogStoreFile, LoadingStopsAtTheFirstEntryItCannotReadAndKeepsTheFileAside)
{
    const std::string firstEntry = kTwoEntries.substr(0, kTwoEntries.find('\n') + 1);
    std::string full;
    for (std::size_t i = 0; i <= CallLogStore::kMaxEntries; ++i)
        full += firstEntry;
    const struct {
        const char* name;
        std::string bytes;
        std::size_t entries;
    } cases[] = {
        { "cut off", kTwoEntries + "\"2026\",\"12\",\"5\",\"14\"", 2 },
        { "blank line", firstEntry + "\r\n" + kTwoEntries, 1 },
        { "over the entry limit", full, CallLogStore::kMaxEntries },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteBytes(dir / "log.csv", c.bytes);
        ASSERT_TRUE(m_store.Load(dir / "log.csv"));
        EXPECT_EQ(m_store.Count(), c.entries);
        EXPECT_EQ(UnreadCopies(dir), 1);
    }
    EXPECT_TRUE(m_store.Load(m_dir / "missing.csv"));
    EXPECT_EQ(m_store.Count(), 0u) << "a missing file is an empty log";
}

TEST_F(CallLogStoreFile, InvalidDatesStillLoadAndSaveUnchanged)
{
    const std::string bytes = "\"2026\",\"13\",\"45\",\"25\",\"61\",\"99\",\"-1\",\"0\",\"0\",\"0\",\"0\","
                              "\"0\",\"n\",\"1\",\"\",\"\",\"0\","
                              "\"\",\"0\"\r\n";
    WriteBytes(m_file, bytes);
    ASSERT_TRUE(m_store.Load(m_file));
    ASSERT_EQ(m_store.Count(), 1u);
    EXPECT_FALSE(m_store.GetAt(0)->startTime.IsValid());
    EXPECT_EQ(m_store.GetAt(0)->DurationText(), "00:00:00");
    EXPECT_EQ(m_store.GetAt(0)->startTime.DateText(), "");
    ASSERT_TRUE(m_store.Save(m_file));
    EXPECT_EQ(ReadBytes(m_file), bytes);
}

TEST_F(CallLogStoreFile, OverlongDateNumberIsCutToElevenCharacters)
{
    WriteBytes(m_file,
        "\"20260000000000\",\"1\",\"1\",\"0\",\"0\",\"0\",\"2026\",\"1\",\"1\",\"0\",\"0\",\"0\",\"n\",\"1\","
        "\"\",\"\",\"0\",\"\",\"0\"\r\n");
    ASSERT_TRUE(m_store.Load(m_file));
    ASSERT_EQ(m_store.Count(), 1u);
    EXPECT_EQ(m_store.GetAt(0)->startTime.year, 2147483647); // "20260000000" saturates
}

TEST_F(CallLogStoreFile, SaveFailsWhenTheFolderIsMissing)
{
    m_store.Append(MakeEntry("x", "1", 1));
    EXPECT_FALSE(m_store.Save(m_dir / "no-folder" / "log.csv"));
}

// A full log makes room by dropping its oldest entries, never the new one: a flood of calls cannot
// stop later calls from being logged.
TEST(CallLogStore, AppendToAFullLogDropsTheOldestEntries)
{
    CallLogStore store;
    for (std::size_t i = 0; i < CallLogStore::kMaxEntries; ++i)
        ASSERT_TRUE(store.Append(MakeEntry("old " + std::to_string(i), "1", 0)));
    EXPECT_TRUE(store.Append(MakeEntry("new", "2", 1)));
    EXPECT_TRUE(store.Append(MakeEntry("newer", "3", 2)));
    ASSERT_EQ(store.Count(), CallLogStore::kMaxEntries);
    EXPECT_EQ(store.GetAt(0)->callerName, "old 2");
    EXPECT_EQ(store.GetAt(store.Count() - 2)->callerName, "new");
    EXPECT_EQ(store.GetAt(store.Count() - 1)->callerName, "newer");
}

TEST(CallLogStore, DeletedVoiceMessageShowsOnlyInTheDeletedViewUntilRestored)
{
    CallLogStore store;
    store.Append(MakeEntry("Vic", "1", kCallTypeVoicemail | kDeletedFlag));
    EXPECT_TRUE(ShownNames(store, CallLogStore::kFilterAll).empty());
    EXPECT_TRUE(ShownNames(store, kCallTypeVoicemail).empty());
    EXPECT_EQ(ShownNames(store, CallLogStore::kFilterDeleted), std::vector<std::string>{ "Vic" });
    ASSERT_TRUE(store.Restore(0));
    EXPECT_EQ(store.GetAt(0)->type, kCallTypeVoicemail);
    EXPECT_EQ(ShownNames(store, kCallTypeVoicemail), std::vector<std::string>{ "Vic" });
    ASSERT_TRUE(store.MarkDeleted(0));
    EXPECT_EQ(store.GetAt(0)->type, 132);
    EXPECT_FALSE(store.MarkDeleted(1));
    EXPECT_FALSE(store.Restore(1));
}

TEST(CallLogStore, UnreadVoicemailFilterFollowsTheUnheardFlag)
{
    CallLogStore store;
    CallLogEntry message = MakeEntry("Vera", "2", kCallTypeVoicemail);
    message.recordingPath = RecordingPath::FromLocalFile("/home/u/VoiceMail/m 1.wav", true);
    store.Append(message);
    store.Append(MakeEntry("Noah", "3", kCallTypeVoicemail)); // no recording
    EXPECT_EQ(ShownNames(store, CallLogStore::kFilterUnreadVoicemail), std::vector<std::string>{ "Vera" });
    EXPECT_EQ(store.CountUnheardVoicemail(), 1u);
    store.GetAt(0)->SetUnheard(false);
    EXPECT_TRUE(ShownNames(store, CallLogStore::kFilterUnreadVoicemail).empty());
    EXPECT_EQ(store.CountUnheardVoicemail(), 0u);
    // The count is kept; an entry changed through a pointer taken before it counts once saved.
    CallLogEntry* kept = store.GetAt(1);
    EXPECT_EQ(store.CountUnheardVoicemail(), 0u);
    kept->recordingPath = message.recordingPath;
    TempDir dir;
    ASSERT_TRUE(store.Save(dir.Path() / CallLogStore::kFileName));
    EXPECT_EQ(store.CountUnheardVoicemail(), 1u);
    store.Append(message);
    EXPECT_EQ(store.CountUnheardVoicemail(), 2u);
}

TEST(CallLogStore, SearchMatchesTheStartOfNameOrNumberIncludingBlanks)
{
    CallLogStore store;
    store.Append(MakeEntry("John Smith", "555", kCallTypeIncoming, { 2026, 1, 1, 10, 0, 0 }));
    store.Append(MakeEntry("Johnny Smith", "556", kCallTypeIncoming, { 2026, 1, 1, 9, 0, 0 }));
    store.Append(MakeEntry("", "5551234", kCallTypeMissed, { 2026, 1, 1, 8, 0, 0 }));
    EXPECT_EQ(
        ShownNames(store, CallLogStore::kFilterAll, "john s"), std::vector<std::string>{ "John Smith" });
    EXPECT_EQ(ShownNames(store, CallLogStore::kFilterAll, "JOHN"),
        (std::vector<std::string>{ "John Smith", "Johnny Smith" }));
    EXPECT_EQ(ShownNames(store, CallLogStore::kFilterAll, "5551"), std::vector<std::string>{ "5551234" });
    EXPECT_EQ(ShownNames(store, kCallTypeMissed, "555"), std::vector<std::string>{ "5551234" });
}

TEST(CallLogStore, ListsLaterCallsFirstAndEqualStartsByName)
{
    CallLogStore store;
    CallTime noon{ 2026, 3, 1, 12, 0, 0 };
    store.Append(MakeEntry("Zed", "1", 1, noon));
    store.Append(MakeEntry("Old", "1", 1, { 2025, 3, 1, 12, 0, 0 }));
    store.Append(MakeEntry("Amy", "1", 1, noon));
    store.Append(MakeEntry("Bad date", "1", 1, { 2026, 2, 30, 0, 0, 0 }));
    store.Append(MakeEntry("New", "1", 1, { 2026, 3, 1, 12, 0, 1 }));
    EXPECT_EQ(ShownNames(store, CallLogStore::kFilterAll),
        (std::vector<std::string>{ "New", "Amy", "Zed", "Old", "Bad date" }));
}

// CompareEntries' stable order of the entries the filter and search show.
std::vector<std::size_t> StableListOrder(
    const CallLogStore& store, std::int32_t filter, std::string_view search)
{
    std::vector<std::size_t> expected;
    for (std::size_t k = 0; k < store.Count(); ++k)
        if (CallLogStore::ShowsInCallList(*store.GetAt(k), filter, search))
            expected.push_back(k);
    std::stable_sort(expected.begin(), expected.end(), [&store](std::size_t a, std::size_t b) {
        return CallLogStore::CompareEntries(*store.GetAt(a), *store.GetAt(b)) < 0;
    });
    return expected;
}

// The list sorts by precomputed keys, and keeps the order it worked out: at first and after any
// change to the entries (a rename, a new, deleted, restored or removed entry, a reload), every
// filter and search gives exactly CompareEntries' stable order, also for names that fold or sort
// alike.
TEST(CallLogStore, ListOrderIsTheStableOrderOfCompareEntriesThroughChanges)
{
    TempDir dir;
    const std::filesystem::path file = dir.Path() / CallLogStore::kFileName;
    CallLogStore store;
    const char* const names[] = { "zoë", "Zoe", "zoe", "\xc3\x89mile", "emile", "Emile", "o'brien", "OBrien",
        "O Brien", "", "\xc3\x9f", "ss", "\xc3\x85sa", "Asa", "aSa", "10", "9", "#1", "-x", "x", " lead",
        "Bob", "bob" };
    int i = 0;
    for (const char* name : names) {
        for (int copy = 0; copy < 2; ++copy, ++i) {
            const std::int32_t type = i % 4 == 0 ? kCallTypeMissed : i % 4 == 1 ? 4 : kCallTypeOutgoing;
            store.Append(MakeEntry(name, "55" + std::to_string(i % 3), type, { 2026, 3, 1, 12, 0, i % 3 }));
        }
    }
    for (const CallTime& bad :
        { CallTime{ 2026, 2, 30, 0, 0, 0 }, CallTime{ 2026, 13, 1, 0, 0, 0 }, CallTime{ 1800, 1, 1, 0, 0, 0 },
            CallTime{ 2026, 2, 30, 0, 0, 0 }, CallTime{ -1, 0, 0, 0, 0, 0 } })
        store.Append(MakeEntry("bad", "1", 1, bad));
    store.Append(MakeEntry("", "number only", 1, { 2026, 3, 1, 12, 0, 1 }));
    ASSERT_TRUE(store.Save(file));
    const auto expectSameLists = [&store](const char* step) {
        SCOPED_TRACE(step);
        for (std::int32_t filter : { CallLogStore::kFilterAll, std::int32_t(kCallTypeMissed), std::int32_t(4),
                 CallLogStore::kFilterDeleted, CallLogStore::kFilterUnreadVoicemail })
            for (std::string_view search : { "", "b", "550" })
                EXPECT_EQ(store.CallListEntries(filter, search), StableListOrder(store, filter, search));
    };
    expectSameLists("first");
    store.GetAt(0)->callerName = "Aaron";
    expectSameLists("renamed");
    store.Append(MakeEntry("Abe", "1", kCallTypeMissed, { 2026, 3, 1, 12, 0, 1 }));
    expectSameLists("appended");
    store.MarkDeleted(3);
    expectSameLists("deleted");
    store.Restore(3);
    expectSameLists("restored");
    store.RemoveAt(1);
    expectSameLists("removed");
    store.Load(file);
    expectSameLists("reloaded");
    store.Clear();
    expectSameLists("cleared");
}

TEST(CallLogStore, ImageIndexShowsTypeNoteAndRecording)
{
    CallLogEntry entry = MakeEntry("a", "1", kCallTypeOutgoing);
    EXPECT_EQ(CallLogStore::CallListImage(entry), 2);
    entry.note = "/n.txt";
    EXPECT_EQ(CallLogStore::CallListImage(entry), 6);
    entry.recordingPath = "file:///r.wav";
    EXPECT_EQ(CallLogStore::CallListImage(entry), 14);
    entry.type = kCallTypeVoicemail;
    EXPECT_EQ(CallLogStore::CallListImage(entry), 12) << "a heard message counts as type 0";
    entry.SetUnheard(true);
    EXPECT_EQ(CallLogStore::CallListImage(entry), 16);
    entry.SetUnheard(false);
    entry.note.clear();
    EXPECT_EQ(CallLogStore::CallListImage(entry), 8);
}

TEST(CallLogEntry, DurationTextPadsEachPart)
{
    CallLogEntry entry;
    entry.startTime = { 2026, 6, 1, 8, 0, 0 };
    auto after = [&](std::time_t seconds) {
        entry.endTime = CallTime::FromTimeT(*entry.startTime.ToTimeT() + seconds);
        return entry.DurationText();
    };
    EXPECT_EQ(after(59), "00:00:59");
    EXPECT_EQ(after(36000), "10:00:00");
    EXPECT_EQ(after(3725), "01:02:05");
    EXPECT_EQ(after(0), "00:00:00");
    EXPECT_EQ(after(-5), "00:00:00");
}

TEST(CallLogEntry, NameOrNumberAndUnheardFlag)
{
    CallLogEntry entry = MakeEntry("", "[Out Of Area]", kCallTypeMissed);
    EXPECT_EQ(entry.NameOrNumber(), "[Out Of Area]");
    EXPECT_FALSE(entry.IsUnheard());
    entry.SetUnheard(true);
    EXPECT_TRUE(entry.recordingPath.empty()) << "an empty path is never unheard";
    entry.recordingPath = "file:///a.wav";
    entry.SetUnheard(true);
    EXPECT_EQ(entry.recordingPath, "File:///a.wav");
    EXPECT_TRUE(entry.IsUnheard());
    entry.recordingPath = "/home/u/plain.wav";
    EXPECT_FALSE(entry.IsUnheard());
    entry.SetUnheard(true);
    EXPECT_EQ(entry.recordingPath, "/home/u/plain.wav");
}

TEST(RecordingPath, FileUriInEitherCaseNamesTheSameLocalFile)
{
    const std::string heard = RecordingPath::FromLocalFile("/home/ann/Call Recordings/rec#1.wav", false);
    EXPECT_EQ(heard, "file:///home/ann/Call%20Recordings/rec%231.wav");
    const std::string unheard = RecordingPath::FromLocalFile("/home/ann/Call Recordings/rec#1.wav", true);
    EXPECT_EQ(unheard, "File:///home/ann/Call%20Recordings/rec%231.wav");
    EXPECT_EQ(RecordingPath::ToLocalFile(heard), "/home/ann/Call Recordings/rec#1.wav");
    EXPECT_EQ(RecordingPath::ToLocalFile(unheard), "/home/ann/Call Recordings/rec#1.wav");
    EXPECT_EQ(RecordingPath::ToLocalFile("/plain/path 1.wav"), "/plain/path 1.wav");
    EXPECT_EQ(RecordingPath::ToLocalFile("FILE:///x/%C3%A9.wav"), "/x/\xc3\xa9.wav");
}

TEST(MissedCallStamp, WrapsModulo32Bits)
{
    CallTime time{ 2026, 12, 5, 14, 35, 12 };
    std::uint64_t exact
        = 12 + 35 * 60ull + 14 * 3600ull + 5 * 86400ull + 12 * 2764800ull + 2026 * 58060800ull;
    EXPECT_EQ(MissedCallStamp(time), std::uint32_t(exact % (1ull << 32)));
}

class UnseenMissedCalls : public testing::Test {
protected:
    TempDir m_dir;
    platform::RegistryHive m_hive{ m_dir / "registry.reg" };
    SettingsStore m_settings{ m_hive };
    CallLogStore m_store;

    void ViewedAt(CallTime time)
    {
        m_settings.Write(Settings::kMissedCallsViewedAt, static_cast<std::int32_t>(MissedCallStamp(time)));
    }
};

TEST_F(UnseenMissedCalls, CountsMissedCallsAndMessagesAfterTheStoredStamp)
{
    CallTime eight = CallTime::Now();
    eight.hour = 8;
    eight.minute = 0;
    eight.second = 0;
    m_store.Append(MakeEntry("m", "1", kCallTypeMissed, eight));
    m_store.Append(MakeEntry("v", "2", kCallTypeVoicemail, eight));
    m_store.Append(MakeEntry("d", "3", kCallTypeMissed | kDeletedFlag, eight));
    m_store.Append(MakeEntry("i", "4", kCallTypeIncoming, eight));
    EXPECT_EQ(m_store.CountUnseenMissed(m_settings), 2u) << "nothing stored reads as 0";
    CallTime before = eight;
    before.hour = 7;
    before.minute = 59;
    ViewedAt(before);
    EXPECT_EQ(m_store.CountUnseenMissed(m_settings), 2u);
    CallTime after = eight;
    after.minute = 1;
    ViewedAt(after);
    EXPECT_EQ(m_store.CountUnseenMissed(m_settings), 0u);
}

class ArchiveRecordings : public testing::Test {
protected:
    void SetUp() override { std::setlocale(LC_TIME, "C"); }

    TempDir m_dir;
    CallLogStore m_store{ m_dir / "Deleted" };

    CallLogEntry EntryWithRecording(std::string name, std::string number, std::int32_t type)
    {
        std::filesystem::path recording = m_dir / "rec 1.wav";
        WriteBytes(recording, std::string("RIFF\r\n\0\x1a data", 13));
        CallLogEntry entry = MakeEntry(std::move(name), std::move(number), type);
        entry.recordingPath = RecordingPath::FromLocalFile(recording, true);
        return entry;
    }
};

TEST_F(ArchiveRecordings, NamesTheCopyAfterCallerTypeDateAndTime)
{
    CallLogEntry entry = EntryWithRecording("John Smith", "555", kCallTypeIncoming);
    EXPECT_EQ(CallLogStore::ArchiveName(entry), "John Smith_I_12_05_26_14_35_12.wav");
    ASSERT_TRUE(m_store.ArchiveRecording(entry));
    EXPECT_EQ(ReadBytes(m_dir / "Deleted" / "John Smith_I_12_05_26_14_35_12.wav"),
        std::string("RIFF\r\n\0\x1a data", 13));
}

// The name falls back to the number, unsafe characters become "_", and an overlong name is cut
// so that the type, date and time stay.
TEST_F(ArchiveRecordings, NameUsesTheNumberReplacesUnsafeCharactersAndIsCut)
{
    EXPECT_EQ(CallLogStore::ArchiveName(MakeEntry("", "[Blocked]", kCallTypeVoicemail)),
        "[Blocked]_V_12_05_26_14_35_12.wav");
    EXPECT_EQ(CallLogStore::ArchiveName(MakeEntry("A/B: C\\D?", "1", kCallTypeMissed)),
        "A_B_ C\\D?_M_12_05_26_14_35_12.wav");
    EXPECT_EQ(CallLogStore::ArchiveName(MakeEntry("..", "1", 5)), "_._V_12_05_26_14_35_12.wav");
    EXPECT_EQ(CallLogStore::ArchiveName(MakeEntry(std::string("a\nb\0c", 5), "1", 9)),
        "a_b_c__12_05_26_14_35_12.wav");
    const std::string name
        = CallLogStore::ArchiveName(MakeEntry(std::string(400, 'x'), "1", kCallTypeOutgoing));
    EXPECT_EQ(name.size(), 255u);
    EXPECT_EQ(name.substr(name.size() - 24), "_O_12_05_26_14_35_12.wav");
}

TEST_F(ArchiveRecordings, RemoveAtArchivesAndKeepsTheRecording)
{
    CallLogEntry entry = EntryWithRecording("Ann", "1", kCallTypeVoicemail);
    m_store.Append(MakeEntry("first", "0", kCallTypeMissed));
    m_store.Append(entry);
    m_store.Append(MakeEntry("last", "2", kCallTypeMissed));
    ASSERT_TRUE(m_store.RemoveAt(1));
    ASSERT_EQ(m_store.Count(), 2u);
    EXPECT_EQ(m_store.GetAt(1)->callerName, "last");
    EXPECT_TRUE(std::filesystem::exists(m_dir / "Deleted" / "Ann_V_12_05_26_14_35_12.wav"));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "rec 1.wav"));
    EXPECT_FALSE(m_store.RemoveAt(2));
}

TEST_F(ArchiveRecordings, MissingRecordingOrFolderReportsFalse)
{
    CallLogEntry entry = MakeEntry("Ann", "1", kCallTypeVoicemail);
    entry.recordingPath = "file:///no/such/file.wav";
    EXPECT_FALSE(m_store.ArchiveRecording(entry));
    m_store.Append(entry);
    EXPECT_TRUE(m_store.RemoveAt(0)) << "the entry goes in any case";
    CallLogStore noFolder;
    EXPECT_FALSE(noFolder.ArchiveRecording(EntryWithRecording("Ann", "1", 4)));
}

TEST_F(ArchiveRecordings, ArchivingTheArchiveCopyItselfKeepsItsBytes)
{
    CallLogEntry entry = EntryWithRecording("Ann", "1", kCallTypeVoicemail);
    ASSERT_TRUE(m_store.ArchiveRecording(entry));
    std::filesystem::path copy = m_dir / "Deleted" / CallLogStore::ArchiveName(entry);
    entry.recordingPath = RecordingPath::FromLocalFile(copy, false);
    EXPECT_TRUE(m_store.ArchiveRecording(entry));
    EXPECT_EQ(std::filesystem::file_size(copy), 13u);
}

} // namespace
