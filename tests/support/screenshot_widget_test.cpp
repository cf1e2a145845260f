#include <QImage>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/screenshot.h"

using namespace qv;

// The gallery hook itself: a picture of exactly what the widget shows when the folder is named,
// nothing at all when it is not.
TEST(ScreenshotHook, SavesTheRenderedWidgetOnlyWhenAFolderIsNamed)
{
    const QByteArray before = qgetenv("QV_SCREENSHOT_DIR");
    QTemporaryDir dir;
    QLabel label(QStringLiteral("gallery"));
    label.setStyleSheet(QStringLiteral("background: rgb(10, 200, 30);"));
    label.resize(120, 40);

    qunsetenv("QV_SCREENSHOT_DIR");
    EXPECT_TRUE(saveScreenshot(label, QStringLiteral("none")).isEmpty());

    qputenv("QV_SCREENSHOT_DIR", QFile::encodeName(dir.filePath(QStringLiteral("nested"))));
    const QString path = saveScreenshot(label, QStringLiteral("label"));
    if (before.isNull())
        qunsetenv("QV_SCREENSHOT_DIR");
    else
        qputenv("QV_SCREENSHOT_DIR", before);

    ASSERT_FALSE(path.isEmpty());
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), label.size() * label.devicePixelRatio());
    EXPECT_EQ(image.pixelColor(2, 2), QColor(10, 200, 30));
}
