// Speed of the call log lists at the store's limit of 65,535 entries, through the model and a
// shown list view on the offscreen platform, as the call log and voice mail tabs have them: a
// fill, a change of filter, and a call that ends while the list is shown (the entry appended, the
// file saved and loaded again, the list refilled).
#include "store/call_log_store.h"
#include "ui/panels/call_log_model.h"

#include <QApplication>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Every kind of entry; a third with a note, half with a recording, many starting in the same second.
CallLogEntry SampleEntry(std::mt19937& random, int index)
{
    static const char* const kNames[] = { "John Smith", "Anna Novak", "Zoë Müller", "", "Åsa Lee", "Peter O'Brien" };
    CallLogEntry entry;
    entry.startTime = CallTime{ 2026, 1 + index % 12, 1 + index % 28, index % 24, (index / 7) % 60, 0 };
    entry.endTime = entry.startTime;
    entry.endTime.second = 42;
    entry.callerName = kNames[random() % std::size(kNames)];
    entry.number = std::to_string(5550000 + random() % 10000);
    entry.type = int(random() % 5) | (random() % 10 == 0 ? kDeletedFlag : 0);
    if (index % 3 == 0)
        entry.note = "/home/user/Kestrium/CallRecordings/Kes" + std::to_string(index) + ".txt";
    if (index % 2 == 0)
        entry.recordingPath = (random() % 2 ? "File://" : "file://") + std::string("/home/user/Kestrium/VoiceMail/Kes")
            + std::to_string(index) + ".wav";
    return entry;
}

CallLogStore& FullLog()
{
    static CallLogStore store = [] {
        CallLogStore log;
        std::mt19937 random(5);
        for (int index = 0; log.Count() < CallLogStore::kMaxEntries; ++index)
            log.Append(SampleEntry(random, index));
        return log;
    }();
    return store;
}

struct ShownList {
    explicit ShownList(CallLogStore& store)
        : model(store)
    {
        view.setRootIsDecorated(false);
        view.setUniformRowHeights(true);
        view.setModel(&model);
        view.resize(320, 400);
        view.show();
    }
    void Fill(std::int32_t filter)
    {
        model.Fill(filter);
        QApplication::processEvents();
    }
    CallLogModel model;
    QTreeView view;
};

void BM_CallListFill(benchmark::State& state)
{
    ShownList list(FullLog());
    const auto filter = std::int32_t(state.range(0));
    for (auto _ : state)
        list.Fill(filter);
    state.counters["shown"] = double(list.model.rowCount());
}
BENCHMARK(BM_CallListFill)->Arg(CallLogStore::kFilterAll)->Arg(kCallTypeVoicemail)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CallListSwitchFilter(benchmark::State& state)
{
    ShownList list(FullLog());
    const std::int32_t filters[] = { kCallTypeMissed, CallLogStore::kFilterAll, CallLogStore::kFilterDeleted,
        kCallTypeIncoming, CallLogStore::kFilterUnreadVoicemail };
    std::size_t next = 0;
    for (auto _ : state)
        list.Fill(filters[next++ % std::size(filters)]);
}
BENCHMARK(BM_CallListSwitchFilter)->Unit(benchmark::kMillisecond)->UseRealTime();

// The log is one entry short of full, so every iteration appends the same way.
void BM_CallEndsWhileTheLogIsShown(benchmark::State& state)
{
    const fs::path file = fs::temp_directory_path() / ("kestrium-call-log-bench-" + std::to_string(::getpid()) + ".csv");
    CallLogStore store = FullLog();
    std::mt19937 random(9);
    const CallLogEntry ended = SampleEntry(random, 70000);
    store.RemoveAt(store.Count() - 1);
    store.Save(file);
    store.Load(file);
    ShownList log(store);
    ShownList voiceMail(store);
    for (auto _ : state) {
        store.Append(ended);
        store.Save(file);
        store.Load(file);
        log.Fill(CallLogStore::kFilterAll);
        voiceMail.Fill(kCallTypeVoicemail);
        state.PauseTiming();
        store.RemoveAt(store.Count() - 1);
        state.ResumeTiming();
    }
    fs::remove(file);
}
BENCHMARK(BM_CallEndsWhileTheLogIsShown)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
