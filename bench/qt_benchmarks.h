#pragma once

#include <QApplication>

#include <benchmark/benchmark.h>

// Runs the registered benchmarks inside a QApplication on the offscreen platform, as the window
// benchmarks need one.
inline void RunQtBenchmarks(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
