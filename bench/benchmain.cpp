#include <QApplication>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include "platform/memoryrelease.h"

// Benchmarks run offscreen with test-mode folders, like the unit tests.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The allocator set up as the application sets it, so resident memory is measured alike.
    qv::returnLargeBlocksAtOnce();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv); // some benchmarks paint widgets
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
