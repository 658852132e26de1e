#pragma once

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "bench/silent_prompts.h"

// The serial port needs an application object for its event machinery.
inline int run_benchmarks_with_core_app(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
