#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "support/privatehome.h"

namespace {

QtMessageHandler g_defaultHandler = nullptr;

// The offscreen platform says on every frame that it cannot raise windows or set their opacity or
// masks; tests check those through the panels' own state, so these lines are only noise.
void quietOffscreen(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    g_defaultHandler(type, context, message);
}

} // namespace

// Widget test programs need a QApplication (a widget aborts under a QGuiApplication). They render
// offscreen, with test-mode standard folders in a home folder of their own, so no test touches the
// real home folder.
int main(int argc, char **argv)
{
    const PrivateHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    // Times of day are drawn in the local zone; one zone everywhere keeps the pictures alike.
    qputenv("TZ", "UTC");
    g_defaultHandler = qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
