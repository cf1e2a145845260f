#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/icontheme.h"
#include "platform/x11/x11dragendreport.h"
#include "platform/x11/x11fileicons.h"

namespace qv {
namespace {

TEST(X11DragEndReportTest, ReportsReleasesOnlyWhileMonitoringAndWhetherTheDragWasTaken)
{
    X11DragEndReport report;
    QSignalSpy ups(&report, &DragEndReport::mouseUp);
    // A release reaches the window under the pointer first.
    QWindow target;
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &release);
    EXPECT_EQ(ups.count(), 0);

    report.startMonitoring();
    report.startMonitoring();
    QCoreApplication::sendEvent(&target, &release);
    EXPECT_EQ(ups.count(), 1);
    EXPECT_FALSE(report.dragTypes().isEmpty());
    report.dragFinished(true);
    EXPECT_EQ(ups.count(), 2);
    EXPECT_TRUE(report.dragTypes().isEmpty());

    report.stopMonitoring();
    QCoreApplication::sendEvent(&target, &release);
    report.dragFinished(false);
    EXPECT_EQ(ups.count(), 2);
}

TEST(X11FileIconsTest, EveryFileGetsAnIconFromAnyThread)
{
    QTemporaryDir dir;
    X11FileIcons icons;
    EXPECT_FALSE(icons.iconForFile(dir.filePath(QStringLiteral("missing.pdf"))).isNull());
    QImage fromWorker;
    std::thread worker([&] { fromWorker = icons.iconForFile(dir.filePath(QStringLiteral("notes.txt"))); });
    worker.join();
    EXPECT_FALSE(fromWorker.isNull());
    QTest::qWait(10);
}

// Regression: a worker asking first for a type's icon got the drawn page for good (shelf items keep
// the icon they were given), since only the main thread may read the theme.
TEST(X11FileIconsTest, AWorkersFirstIconOfATypeIsTheThemesWhileTheMainThreadRuns)
{
    const QImage themes = themeIconForMimeType(QStringLiteral("application/pdf"), X11FileIcons::iconSize);
    if (themes.isNull())
        GTEST_SKIP() << "no icon theme here";
    QTemporaryDir dir;
    X11FileIcons icons;
    QImage fromWorker;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        fromWorker = icons.iconForFile(dir.filePath(QStringLiteral("report.pdf")));
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 3000));
    worker.join();
    EXPECT_EQ(fromWorker, themes);
}

} // namespace
} // namespace qv
