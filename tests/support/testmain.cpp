#include <QGuiApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "support/privatehome.h"

// Every test program runs with test-mode standard folders in a home folder of its own, so no test
// touches the real home folder.
int main(int argc, char **argv)
{
    const PrivateHome home;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
