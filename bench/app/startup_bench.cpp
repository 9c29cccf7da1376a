// Start-up to a shown main window with the stores full: 65,535 contacts and 65,535 call log
// entries in the data folder. Each iteration constructs the application, starts it (stores
// loaded, settings read, lines opened, window shown and filled) and lets the window paint; the
// shutdown that follows is not timed. The German run also loads the translations as main() does.
#include "app/application.h"
#include "full_stores.h"
#include "platform/registry.h"
#include "qt_benchmarks.h"
#include "res/translations.h"
#include "telephony/support/scripted_prompter.h"
#include "ui/main/main_window.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A data folder with full stores, written once.
const fs::path& DataFolder()
{
    static const fs::path folder = [] {
        const fs::path path
            = fs::temp_directory_path() / ("kestrium-startup-bench-" + std::to_string(::getpid()));
        WriteFullStores(path);
        return path;
    }();
    return folder;
}

// Starts the application once per iteration in `locale` (dates in its format, names compared in
// its order); with `translate`, its translations are loaded first, as main() does.
void RunStartups(benchmark::State& state, const QLocale& locale, bool translate)
{
    platform::RegistryHive hive(DataFolder() / "registry.reg");
    ScriptedPrompter prompter;
    QLocale::setDefault(locale);
    for (auto _ : state) {
        const std::optional<Translations> translations
            = translate ? std::make_optional<Translations>(locale) : std::nullopt;
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
    QLocale::setDefault(QLocale::c());
}

void BM_StartupToShownWindow(benchmark::State& state)
{
    RunStartups(state, QLocale::c(), true);
}
BENCHMARK(BM_StartupToShownWindow)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);

// A German system without and with the German translation: the difference is the translator's cost.
void BM_StartupToShownWindowGermanUntranslated(benchmark::State& state)
{
    RunStartups(state, QLocale(QLocale::German, QLocale::Germany), false);
}
BENCHMARK(BM_StartupToShownWindowGermanUntranslated)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);

void BM_StartupToShownWindowGerman(benchmark::State& state)
{
    RunStartups(state, QLocale(QLocale::German, QLocale::Germany), true);
}
BENCHMARK(BM_StartupToShownWindowGerman)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);

// Only what main() adds: Kestrium's German translation from the resources and Qt's from the disk,
// installed and removed again.
void BM_LoadGermanTranslations(benchmark::State& state)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    for (auto _ : state) {
        const Translations translations(german);
        benchmark::DoNotOptimize(translations.Translated());
    }
}
BENCHMARK(BM_LoadGermanTranslations)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    RunQtBenchmarks(argc, argv);
    fs::remove_all(DataFolder());
    return 0;
}
