// Loading a settings hive whose one key holds 100,000 values: the load must stay linear in the
// number of values (a value looked up by name while loading once made it quadratic).
#include "platform/registry.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::filesystem::path WriteHive(int values)
{
    std::string folder = std::filesystem::temp_directory_path() / "kestrium-registry-bench-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr)
        return {};
    const std::filesystem::path file = std::filesystem::path(folder) / "registry.reg";
    std::ofstream out(file);
    out << "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
    for (int i = 0; i < values; ++i)
        out << "\"value" << i << "\"=dword:00000001\n";
    return file;
}

void BM_RegistryKeyWithManyValuesLoads(benchmark::State& state)
{
    const int values = static_cast<int>(state.range(0));
    const std::filesystem::path file = WriteHive(values);
    const std::string last = "VALUE" + std::to_string(values - 1);
    for (auto _ : state) {
        platform::RegistryHive hive(file);
        if (!hive.Query("K", last))
            state.SkipWithError("the last value was not loaded");
    }
    std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_RegistryKeyWithManyValuesLoads)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
