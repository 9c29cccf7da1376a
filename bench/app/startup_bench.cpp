// Start-up to a shown main window with the stores full: 65,535 contacts and 65,535 call log
// entries in the data folder. Each iteration constructs the application, starts it (stores
// loaded, settings read, lines opened, window shown and filled) and lets the window paint; the
// shutdown that follows is not timed.
#include "app/application.h"
#include "qt_benchmarks.h"
#include "platform/registry.h"
#include "telephony/support/scripted_prompter.h"
#include "ui/main/main_window.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

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

// A data folder with full stores, written once.
const fs::path& DataFolder()
{
    static const fs::path folder = [] {
        const fs::path path = fs::temp_directory_path() / ("kestrium-startup-bench-" + std::to_string(::getpid()));
        fs::create_directories(path);
        std::mt19937 random(11);
        ContactStore contacts;
        while (contacts.Count() < ContactStore::kMaxRecords)
            contacts.Append(SampleContact(random));
        contacts.Save(path / ContactStore::kFileName);
        CallLogStore log;
        for (int i = 0; i < int(CallLogStore::kMaxEntries); ++i)
            log.Append(SampleEntry(random, i));
        log.Save(path / CallLogStore::kFileName);
        return path;
    }();
    return folder;
}

void BM_StartupToShownWindow(benchmark::State& state)
{
    platform::RegistryHive hive(DataFolder() / "registry.reg");
    ScriptedPrompter prompter;
    for (auto _ : state) {
        auto app = std::make_unique<Application>(DataFolder(), hive, prompter);
        if (!app->Start()) {
            state.SkipWithError("start-up refused");
            return;
        }
        QApplication::processEvents();
        state.PauseTiming();
        app->Finish();
        app.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToShownWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    RunQtBenchmarks(argc, argv);
    fs::remove_all(DataFolder());
    return 0;
}
