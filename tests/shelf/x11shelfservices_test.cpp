#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

#include "platform/x11/x11dragendreport.h"
#include "platform/x11/x11fileicons.h"

namespace qv {
namespace {

TEST(X11DragEndReportTest, ReportsReleasesOnlyWhileMonitoringAndWhetherTheDragWasTaken)
{
    X11DragEndReport report;
    QSignalSpy ups(&report, &DragEndReport::mouseUp);
    QObject target;
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

} // namespace
} // namespace qv
