#include <QApplication>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

#include "platform/memoryrelease.h"

namespace {

// The console reporter, counting the benchmarks that could not measure what they name (those that
// called SkipWithError): the program then exits non-zero, so a run that measured nothing fails.
class FailureCountingReporter final : public benchmark::ConsoleReporter
{
public:
    using benchmark::ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            m_failures += run.error_occurred ? 1 : 0;
        ConsoleReporter::ReportRuns(runs);
    }
    int failures() const { return m_failures; }

private:
    int m_failures = 0;
};

} // namespace

// Benchmarks run offscreen with test-mode folders, like the unit tests. The program's own console
// lines stay out of the figures (a QT_LOGGING_RULES of one's own brings them back, to look into a
// failure).
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // In the environment, since services of ours set their own rules, which these must outlast.
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "*.debug=false;*.info=false;*.warning=false");
    // The allocator set up as the application sets it, so resident memory is measured alike.
    qv::returnLargeBlocksAtOnce();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv); // some benchmarks paint widgets
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    FailureCountingReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                           : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reporter.failures() > 0) {
        std::fprintf(stderr, "%s: %d benchmark(s) could not measure what they name\n", argv[0],
                     reporter.failures());
        return 1;
    }
    return 0;
}
