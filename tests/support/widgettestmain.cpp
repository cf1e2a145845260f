#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// Widget test programs need a QApplication (a widget aborts under a QGuiApplication). They render
// offscreen, with test-mode standard folders so no test touches the real home folder.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
