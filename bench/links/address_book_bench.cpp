// Speed of the shared address book against a local Radicale (scripts/office/start-radicale): the
// first sync of 10,000 cards (or ADDRESS_BOOK_BENCH_CARDS) into an empty contact list, and a sync that brings
// 10 cards a colleague changed. Each time includes the server's own work (Radicale's first read of a storage
// builds its cache: the first repetition is a cold server, the later ones warm).
#include "links/address_book_sync.h"
#include "radicale_server.h"
#include "store/contact_store.h"
#include "store/data_folder.h"
#include "support/temp_dir.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

// The address book's size: 10,000 cards, or ADDRESS_BOOK_BENCH_CARDS.
int Cards()
{
    static const int cards = [] {
        const char* text = std::getenv("ADDRESS_BOOK_BENCH_CARDS");
        const int wanted = text ? std::atoi(text) : 0;
        return wanted > 0 ? wanted : 10'000;
    }();
    return cards;
}

constexpr int kChanged = 10;

RadicaleServer& Server()
{
    static std::unique_ptr<RadicaleServer> server = [] {
        auto started = std::make_unique<RadicaleServer>();
        started->Seed(Cards());
        if (!started->Start())
            std::abort();
        return started;
    }();
    return *server;
}

AddressBookAccount Account()
{
    return { Server().ServerUrl().toString().toStdString(), RadicaleServer::kUser,
        RadicaleServer::kPassword };
}

void BM_FirstSync(benchmark::State& state)
{
    // The server is seeded and started before the clock runs.
    const AddressBookAccount account = Account();
    double serverSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        testing_support::TempDir data;
        ContactStore contacts = OpenContactStore(data.Path());
        AddressBookSync sync(contacts, data.Path());
        state.ResumeTiming();
        const double serverBefore = Server().CpuSeconds();
        const AddressBookReport report = sync.SyncNow(account);
        serverSeconds += Server().CpuSeconds() - serverBefore;
        if (!report.ok || contacts.Count() != std::size_t(Cards()))
            state.SkipWithError(report.error.empty() ? "not every card arrived" : report.error.c_str());
    }
    state.counters["cards"] = Cards();
    state.counters["server_cpu_s"] = benchmark::Counter(serverSeconds, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FirstSync)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

void BM_IncrementalSync(benchmark::State& state)
{
    testing_support::TempDir data;
    ContactStore contacts = OpenContactStore(data.Path());
    AddressBookSync sync(contacts, data.Path());
    if (!sync.SyncNow(Account()).ok) {
        state.SkipWithError("the first sync failed");
        return;
    }
    int round = 0;
    double serverSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        for (int i = 0; i < kChanged; ++i) {
            const int card = (round * kChanged + i) % Cards();
            std::string text = RadicaleServer::SeedCard(card);
            text.insert(text.find("BDAY:"), "TITLE:Round " + std::to_string(round) + "\r\n");
            Server().Put("seed-" + std::to_string(card) + ".vcf", text);
        }
        state.ResumeTiming();
        const double serverBefore = Server().CpuSeconds();
        const AddressBookReport report = sync.SyncNow(Account());
        serverSeconds += Server().CpuSeconds() - serverBefore;
        if (!report.ok || report.received != std::size_t(kChanged))
            state.SkipWithError(report.error.empty() ? "not every change arrived" : report.error.c_str());
    }
    state.counters["server_cpu_s"] = benchmark::Counter(serverSeconds, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_IncrementalSync)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
