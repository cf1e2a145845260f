#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/pasteboard.h"
#include "platform/x11/x11pasteboard.h"

using namespace qv;

namespace {

// Reading an offer whose TARGETS lists `range(0)` junk targets before UTF8_STRING, as a hostile owner
// would: the snapshot and its text. Target: under 50 ms at 40,000.
void BM_CaptureAmongJunkTargets(benchmark::State &state)
{
#ifdef QV_CLIPBOARD_OWNER
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("needs an X display");
        return;
    }
    QTemporaryDir folder;
    const QString offer = QDir(folder.path()).filePath(QStringLiteral("offer"));
    QFile file(offer);
    file.open(QIODevice::WriteOnly);
    file.write("offered among junk");
    file.close();
    QProcess owner;
    owner.start(QStringLiteral(QV_CLIPBOARD_OWNER), {QStringLiteral("--junk-targets=%1").arg(state.range(0)),
                                                    QStringLiteral("UTF8_STRING=") + offer});
    if (!owner.waitForReadyRead(30000)) {
        state.SkipWithError("the clipboard owner did not start");
        return;
    }
    X11Pasteboard pasteboard;
    for (auto _ : state) {
        const PasteboardSnapshot snapshot = pasteboard.read();
        benchmark::DoNotOptimize(snapshot.string(PasteboardType::utf8String));
    }
    owner.kill();
    owner.waitForFinished();
#else
    state.SkipWithError("built without the test clipboard owner");
#endif
}
BENCHMARK(BM_CaptureAmongJunkTargets)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

} // namespace
