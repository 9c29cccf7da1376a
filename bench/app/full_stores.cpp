#include "full_stores.h"

#include "store/call_log_store.h"
#include "store/contact_store.h"

#include <random>
#include <string>

namespace {

ContactRecord SampleContact(std::mt19937& random)
{
    static const char* const kFirst[] = { "John", "Anna", "Peter", "Maria", "Liam", "Olivia", "Zoë", "Åsa" };
    static const char* const kLast[] = { "Smith", "Novak", "García", "O'Brien", "Müller", "Lee" };
    ContactRecord record;
    record.SetFirstName(kFirst[random() % std::size(kFirst)]);
    std::string last = kLast[random() % std::size(kLast)];
    for (int i = 0; i < 3; ++i)
        last.push_back(char('a' + random() % 26));
    record.SetLastName(last);
    record.SetNumber(0, "+1 (555) " + std::to_string(random() % 10'000'000));
    return record;
}

CallLogEntry SampleEntry(std::mt19937& random, int index)
{
    CallLogEntry entry;
    entry.startTime = CallTime{ 2026, 1 + index % 12, 1 + index % 28, index % 24, index % 60, index % 60 };
    entry.endTime = entry.startTime;
    entry.endTime.second = (entry.endTime.second + 30) % 60;
    entry.callerName = "Caller " + std::to_string(index);
    entry.number = std::to_string(5550000 + random() % 10000);
    entry.type = int(random() % 5);
    return entry;
}

} // namespace

void WriteFullStores(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    std::mt19937 random(11);
    ContactStore contacts;
    while (contacts.Count() < ContactStore::kMaxRecords)
        contacts.Append(SampleContact(random));
    contacts.Save(folder / ContactStore::kFileName);
    CallLogStore log;
    for (int i = 0; i < int(CallLogStore::kMaxEntries); ++i)
        log.Append(SampleEntry(random, i));
    log.Save(folder / CallLogStore::kFileName);
}
