// Speed of the data stores at their full size: 65,535 contacts and 65,535 call-log entries.
// Files go to a temporary folder on the same disk as the data folder would be (saves include the
// fsync of an atomic replace).
#include "store/call_log_store.h"
#include "store/contact_store.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

class BenchFolder {
public:
    BenchFolder()
    {
        std::string base = std::filesystem::temp_directory_path() / "kestrium-bench-XXXXXX";
        if (::mkdtemp(base.data()) != nullptr)
            m_path = base;
    }
    ~BenchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::filesystem::path operator/(const char* name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

const BenchFolder& Folder()
{
    static BenchFolder folder;
    return folder;
}

const char* const kFirstNames[]
    = { "John", "Anna", "Peter", "Maria", "Liam", "Olivia", "Noah", "Emma", "Jakub", "Zoë" };
const char* const kLastNames[]
    = { "Smith", "Johnson", "Novak", "García", "O'Brien", "Müller", "Lee", "Brown" };
const char* const kCompanies[] = { "Acme, Inc.", "Globex", "Initech \"East\"", "", "Umbrella Ltd", "" };
const char* const kGroups[] = { "Business", "Family", "Friends", "Others", "QuickList", "Unfiled" };

std::string Digits(std::mt19937& random, int count)
{
    std::string digits;
    for (int i = 0; i < count; ++i)
        digits.push_back(char('0' + random() % 10));
    return digits;
}

ContactRecord RealisticContact(std::mt19937& random, GroupStore& groups)
{
    ContactRecord record;
    record.SetGroup(kGroups[random() % std::size(kGroups)], groups);
    record.SetFirstName(kFirstNames[random() % std::size(kFirstNames)]);
    record.SetLastName(kLastNames[random() % std::size(kLastNames)]);
    record.SetMiddleName(random() % 4 == 0 ? "Q." : "");
    record.SetTitle(random() % 3 == 0 ? "Sales manager" : "");
    record.SetCompany(kCompanies[random() % std::size(kCompanies)]);
    for (int slot = 0; slot < 4; ++slot)
        record.SetNumber(slot, "+1 (555) " + Digits(random, 3) + "-" + Digits(random, 4));
    record.SetNumber(3, "name" + Digits(random, 4) + "@example.com");
    record.SetDefaultNumberIndex(std::int32_t(random() % 3));
    record.SetStreet(Digits(random, 3) + " Main Street");
    record.SetStreet2("Apt " + Digits(random, 2));
    record.SetCity("Springfield");
    record.SetState("IL");
    record.SetZip(Digits(random, 5));
    record.SetCountry("USA");
    record.SetNote("Met at the \"Spring\" fair.\r\nFiles in C:\\Users\\shared\\notes\\" + Digits(random, 6)
        + ".txt\nCall after 5 pm; ask for extension " + Digits(random, 3) + ".");
    return record;
}

const ContactStore& Contacts()
{
    static ContactStore store = [] {
        ContactStore contacts;
        contacts.Groups().Load(Folder() / "no-groups-file");
        std::mt19937 random(42);
        while (contacts.Count() < ContactStore::kMaxRecords)
            contacts.Append(RealisticContact(random, contacts.Groups()));
        contacts.Save(Folder() / "KestriumContacts200.csv");
        return contacts;
    }();
    return store;
}

CallLogEntry RealisticEntry(std::mt19937& random)
{
    CallLogEntry entry;
    entry.startTime = CallTime::FromTimeT(std::time_t(1'700'000'000 + random() % 60'000'000));
    entry.endTime = CallTime::FromTimeT(std::time_t(1'700'000'000 + random() % 60'000'000));
    entry.callerName = std::string(kFirstNames[random() % std::size(kFirstNames)]) + " "
        + kLastNames[random() % std::size(kLastNames)];
    entry.number = "555" + Digits(random, 7);
    entry.type = std::int32_t(random() % 5);
    if (random() % 3 == 0)
        entry.note = "/home/user/Kestrium/Notes/note" + Digits(random, 6) + ".txt";
    if (random() % 2 == 0)
        entry.recordingPath = "File:///home/user/Kestrium/CallRecordings/rec" + Digits(random, 6) + ".wav";
    return entry;
}

void BM_ContactStoreLoad(benchmark::State& state)
{
    Contacts();
    const auto file = Folder() / "KestriumContacts200.csv";
    ContactStore store;
    for (auto _ : state)
        store.Load(file);
    state.SetBytesProcessed(
        std::int64_t(state.iterations()) * std::int64_t(std::filesystem::file_size(file)));
    state.counters["records"] = double(store.Count());
    state.counters["file_MB"] = double(std::filesystem::file_size(file)) / 1e6;
}
BENCHMARK(BM_ContactStoreLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ContactStoreSave(benchmark::State& state)
{
    const ContactStore& store = Contacts();
    const auto file = Folder() / "saved.csv";
    for (auto _ : state)
        store.Save(file);
    state.SetBytesProcessed(
        std::int64_t(state.iterations()) * std::int64_t(std::filesystem::file_size(file)));
    state.counters["file_MB"] = double(std::filesystem::file_size(file)) / 1e6;
}
BENCHMARK(BM_ContactStoreSave)->Unit(benchmark::kMillisecond)->UseRealTime();

// Call end: append the new entry, save the file, load it again (the log starts one short of full).
void BM_CallLogCallEnd(benchmark::State& state)
{
    const auto file = Folder() / "KestriumCallLog.csv";
    std::mt19937 random(7);
    CallLogStore log;
    while (log.Count() < CallLogStore::kMaxEntries - 1)
        log.Append(RealisticEntry(random));
    log.Save(file);
    const CallLogEntry newEntry = RealisticEntry(random);
    for (auto _ : state) {
        log.Append(newEntry);
        log.Save(file);
        log.Load(file);
        state.PauseTiming();
        log.RemoveAt(log.Count() - 1);
        state.ResumeTiming();
    }
    state.counters["entries"] = double(CallLogStore::kMaxEntries);
    state.counters["file_MB"] = double(std::filesystem::file_size(file)) / 1e6;
}
BENCHMARK(BM_CallLogCallEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MatchesQueryAllContacts(benchmark::State& state)
{
    const ContactStore& store = Contacts();
    std::size_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        for (std::size_t i = 0; i < store.Count(); ++i)
            matches += ContactStore::MatchesQuery(*store.GetAt(i), "jo sm") != 0;
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = double(matches);
}
BENCHMARK(BM_MatchesQueryAllContacts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
