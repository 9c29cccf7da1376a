// Randomized damage to every data file: the readers must neither crash nor hang, and keep every
// record that stands before the damage.
#include "store/call_log_store.h"
#include "store/contact_store.h"
#include "store/csv_codec.h"
#include "store/redial_store.h"
#include "store/speed_dial_store.h"
#include "store/text_file_reader.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

// Bytes that matter to the syntax come often, any other byte now and then.
std::string RandomText(std::mt19937& random, std::size_t maxSize)
{
    static const std::string kSpecial = "\"\\,\n\r n\t";
    std::string text(random() % (maxSize + 1), ' ');
    for (char& c : text) {
        unsigned pick = random() % 4;
        c = pick == 0   ? kSpecial[random() % kSpecial.size()]
            : pick == 1 ? char(random() % 256)
                        : char('a' + random() % 26);
    }
    return text;
}

std::size_t CountLines(const std::string& bytes, std::size_t end)
{
    return std::size_t(std::count(bytes.begin(), bytes.begin() + std::ptrdiff_t(end), '\n'));
}

CallLogEntry RandomEntry(std::mt19937& random)
{
    CallLogEntry entry;
    entry.startTime = CallTime::FromTimeT(std::time_t(1'600'000'000 + random() % 100'000'000));
    entry.endTime = CallTime::FromTimeT(std::time_t(1'600'000'000 + random() % 100'000'000));
    entry.callerName = RandomText(random, 30);
    entry.number = RandomText(random, 20);
    entry.note = RandomText(random, 60);
    entry.recordingPath = RandomText(random, 60);
    entry.type = std::int32_t(random() % 256);
    entry.reservedText = RandomText(random, 5);
    entry.reservedValue = std::int32_t(random());
    return entry;
}

bool SameEntry(const CallLogEntry& a, const CallLogEntry& b)
{
    return a.startTime == b.startTime && a.endTime == b.endTime && a.callerName == b.callerName
        && a.number == b.number && a.note == b.note && a.recordingPath == b.recordingPath && a.type == b.type
        && a.reservedText == b.reservedText && a.reservedValue == b.reservedValue;
}

ContactRecord RandomContact(std::mt19937& random)
{
    ContactRecord record;
    for (std::size_t field = 1; field < kContactFieldCount; ++field)
        record.SetText(ContactField(field), RandomText(random, 25));
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        record.SetNumber(slot, random() % 2 ? RandomText(random, 12) : "");
        record.SetLabelIndex(slot, std::int32_t(random() % 16));
    }
    record.SetDefaultNumberIndex(std::int32_t(random() % 10));
    return record;
}

TEST(Fuzz, CsvReaderEndsOnRandomBytesWithinTheLimit)
{
    std::mt19937 random(1);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = RandomText(random, 300);
        auto reader = TextFileReader::FromBytes(bytes);
        std::string field;
        std::size_t limit = 1 + random() % 40;
        std::size_t calls = 0;
        while (CsvCodec::ReadField(reader, field, limit)) {
            ASSERT_LE(field.size(), limit);
            ASSERT_LE(++calls, bytes.size()) << "every field read consumes at least one byte";
        }
    }
}

bool SameContact(const ContactRecord& a, const ContactRecord& b)
{
    for (std::size_t field = 0; field < kContactFieldCount; ++field) {
        // The display name is recomposed when loading repairs an empty default number.
        if (ContactField(field) != ContactField::DisplayName
            && a.Text(ContactField(field)) != b.Text(ContactField(field)))
            return false;
    }
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        if (a.Number(slot) != b.Number(slot) || a.LabelIndex(slot) != b.LabelIndex(slot))
            return false;
    }
    return true;
}

// Saves `original`, then loads the file cut at random places: every record whose line is complete
// before the cut loads unchanged, and at most one more (cut right after its last closing quote).
template <class Store, class Same>
void ExpectRecordsBeforeEveryCut(const Store& original, std::mt19937& random, int rounds, Same same)
{
    TempDir dir;
    ASSERT_TRUE(original.Save(dir / "full.csv"));
    const std::string bytes = ReadBytes(dir / "full.csv");
    ASSERT_EQ(CountLines(bytes, bytes.size()), original.Count());
    for (int round = 0; round < rounds; ++round) {
        std::size_t cut = random() % (bytes.size() + 1);
        WriteBytes(dir / "cut.csv", bytes.substr(0, cut));
        Store loaded;
        loaded.Load(dir / "cut.csv");
        std::size_t complete = CountLines(bytes, cut);
        ASSERT_GE(loaded.Count(), complete);
        ASSERT_LE(loaded.Count(), complete + 1);
        for (std::size_t i = 0; i < complete; ++i)
            ASSERT_TRUE(same(*loaded.GetAt(i), *original.GetAt(i))) << "record " << i << " cut at " << cut;
    }
}

TEST(Fuzz, CallLogKeepsEveryEntryBeforeACut)
{
    std::mt19937 random(2);
    CallLogStore original;
    for (int i = 0; i < 40; ++i)
        original.Append(RandomEntry(random));
    ExpectRecordsBeforeEveryCut(original, random, 200, SameEntry);
}

TEST(Fuzz, ContactsKeepEveryRecordBeforeACut)
{
    std::mt19937 random(3);
    ContactStore original;
    for (int i = 0; i < 30; ++i)
        original.Append(RandomContact(random));
    ExpectRecordsBeforeEveryCut(original, random, 150, SameContact);
}

TEST(Fuzz, EveryLoaderSurvivesDamagedFiles)
{
    TempDir dir;
    std::mt19937 random(4);
    CallLogStore log;
    ContactStore contacts;
    for (int i = 0; i < 12; ++i) {
        log.Append(RandomEntry(random));
        contacts.Append(RandomContact(random));
    }
    ASSERT_TRUE(log.Save(dir / "log.csv"));
    ASSERT_TRUE(contacts.Save(dir / "c.csv"));
    const std::string sources[] = { ReadBytes(dir / "log.csv"), ReadBytes(dir / "c.csv") };
    for (int round = 0; round < 300; ++round) {
        std::string bytes = sources[round % 2];
        for (int flips = 1 + int(random() % 8); flips > 0; --flips)
            bytes[random() % bytes.size()] = char(random() % 256);
        WriteBytes(dir / "damaged.csv", bytes);
        CallLogStore loadedLog;
        ContactStore loadedContacts;
        SpeedDialStore speedDials{ loadedContacts.Groups(), PhoneLabelStore() };
        RedialStore redial{ loadedContacts.Groups(), PhoneLabelStore() };
        PhoneLabelStore labels;
        ASSERT_TRUE(loadedLog.Load(dir / "damaged.csv"));
        loadedContacts.Load(dir / "damaged.csv");
        ASSERT_TRUE(speedDials.Load(dir / "damaged.csv"));
        ASSERT_TRUE(redial.Load(dir / "damaged.csv"));
        loadedContacts.Groups().Load(dir / "damaged.csv");
        labels.Load(dir / "damaged.csv");
        loadedLog.CallListEntries(CallLogStore::kFilterAll, "a");
        loadedContacts.ContactTreeEntries("All", "a b");
        for (std::size_t i = 0; i < loadedLog.Count(); ++i) {
            loadedLog.GetAt(i)->DurationText();
            ASSERT_LE(CallLogStore::ArchiveName(*loadedLog.GetAt(i)).size(), 255u);
        }
        ASSERT_TRUE(loadedLog.Save(dir / "resaved.csv"));
        ASSERT_TRUE(loadedContacts.Save(dir / "resaved.csv"));
    }
}

TEST(Fuzz, InvalidDatesLoadSortAndShow)
{
    TempDir dir;
    std::mt19937 random(5);
    std::string bytes;
    for (int i = 0; i < 200; ++i) {
        for (int part = 0; part < 12; ++part)
            bytes += "\"" + std::to_string(std::int32_t(random())) + "\",";
        bytes += "\"n\",\"1\",\"\",\"\",\"0\",\"\",\"0\"\r\n";
    }
    WriteBytes(dir / "log.csv", bytes);
    CallLogStore log;
    ASSERT_TRUE(log.Load(dir / "log.csv"));
    ASSERT_EQ(log.Count(), 200u);
    EXPECT_EQ(log.CallListEntries(CallLogStore::kFilterAll, "").size(), 200u);
    for (std::size_t i = 0; i < log.Count(); ++i) {
        EXPECT_EQ(log.GetAt(i)->DurationText(), "00:00:00");
        EXPECT_EQ(log.GetAt(i)->startTime.DateText(), "");
        MissedCallStamp(log.GetAt(i)->startTime);
    }
    ASSERT_TRUE(log.Save(dir / "again.csv"));
    EXPECT_EQ(ReadBytes(dir / "again.csv"), bytes);
}

TEST(Fuzz, FiveMegabyteFieldIsCutAndTheRecordStillLoads)
{
    TempDir dir;
    const std::string huge(5 * 1024 * 1024, 'x');
    std::string bytes = "\"2026\",\"1\",\"1\",\"0\",\"0\",\"0\",\"2026\",\"1\",\"1\",\"0\",\"0\",\"1\",\""
        + huge + "\",\"1\",\"\",\"\",\"1\",\"\",\"0\"\r\n";
    WriteBytes(dir / "log.csv", bytes + bytes);
    CallLogStore log;
    ASSERT_TRUE(log.Load(dir / "log.csv"));
    ASSERT_EQ(log.Count(), 2u);
    EXPECT_EQ(log.GetAt(1)->callerName.size(), CsvCodec::kFieldLimit);
    WriteBytes(dir / "c.csv", "\"" + huge + "\"");
    ContactStore contacts;
    contacts.Load(dir / "c.csv");
    EXPECT_EQ(contacts.Count(), 0u);
    PhoneLabelStore labels;
    labels.Load(dir / "c.csv");
    EXPECT_EQ(labels.GetLabel(0).size(), PhoneLabelStore::kLabelLimit);
    GroupStore groups;
    groups.Load(dir / "c.csv");
    ASSERT_EQ(groups.Count(), 1u);
    EXPECT_EQ(groups.GetAt(0)->size(), GroupStore::kNameLimit);
}

TEST(Fuzz, NulBytesAreKeptAsData)
{
    TempDir dir;
    CallLogStore log;
    CallLogEntry entry;
    entry.callerName = std::string("A\0B", 3);
    entry.note = std::string(1, '\0');
    log.Append(entry);
    ASSERT_TRUE(log.Save(dir / "log.csv"));
    CallLogStore loaded;
    ASSERT_TRUE(loaded.Load(dir / "log.csv"));
    ASSERT_EQ(loaded.Count(), 1u);
    EXPECT_EQ(loaded.GetAt(0)->callerName, std::string("A\0B", 3));
    EXPECT_EQ(loaded.GetAt(0)->note, std::string(1, '\0'));
}

TEST(Fuzz, HundredThousandGroupsLoadTheFirstThirtyTwo)
{
    TempDir dir;
    std::string distinct;
    std::string same;
    for (int i = 0; i < 100000; ++i) {
        distinct += (i ? ",\"g" : "\"g") + std::to_string(i) + "\"";
        same += i ? ",\"Family\"" : "\"Family\"";
    }
    WriteBytes(dir / "distinct.csv", distinct);
    WriteBytes(dir / "same.csv", same);
    GroupStore groups;
    groups.Load(dir / "distinct.csv");
    EXPECT_EQ(groups.Count(), GroupStore::kMaxGroups);
    groups.Load(dir / "same.csv");
    EXPECT_EQ(groups.Count(), 1u);
}

} // namespace
