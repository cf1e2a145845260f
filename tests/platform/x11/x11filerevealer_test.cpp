#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include "platform/x11/x11filerevealer.h"

using namespace qv;

namespace {

class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

} // namespace

// Without a file manager answering on the session bus (none runs here), the folder that holds the
// file is opened instead.
TEST(X11FileRevealer, WithoutAFileManagerOpensTheContainingFolder)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("diagnostics.zip"));
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");

    X11FileRevealer revealer;
    QList<bool> answers;
    revealer.revealFile(file, [&answers](bool shown) { answers << shown; });
    QDeadlineTimer deadline(15000);
    while (answers.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls.first(), QUrl::fromLocalFile(dir.path()));
    EXPECT_EQ(answers, QList<bool>{true});
}

#include "x11filerevealer_test.moc"
