#pragma once

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "support/recordingeventlog.h"

// Readable strings in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace qv {

// A shelf on a simulated desktop with manual time: every queue runs on the test's thread when the
// scheduler is advanced. The shelf folder and a folder of dropped files live in temporary folders.
class ShelfTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        QDir(m_root.path()).mkpath(QStringLiteral("outside"));
        m_sim.web.setScheduler(&m_scheduler);
        start();
    }

    void start()
    {
        m_manager.reset();
        m_manager = std::make_unique<FileShelfManager>(m_sim.platform(), m_scheduler, m_queues, m_events,
                                                       shelfPath());
    }

    QString shelfPath() const { return m_root.filePath(QStringLiteral("QuorvantisShelf")); }
    QString outsidePath(const QString &name = QString()) const
    {
        return QDir(m_root.filePath(QStringLiteral("outside"))).filePath(name);
    }

    // A file with the given content outside the shelf, as a drop would bring it.
    QUrl makeFile(const QString &name, const QByteArray &content = QByteArrayLiteral("data"))
    {
        const QString path = outsidePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return QUrl::fromLocalFile(path);
    }

    QUrl makeImageFile(const QString &name, int width, int height, const char *format = "PNG")
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = outsidePath(name);
        EXPECT_TRUE(image.save(path, format));
        return QUrl::fromLocalFile(path);
    }

    QStringList shelfFiles() const
    {
        return QDir(shelfPath())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QStringList itemNames() const
    {
        QStringList names;
        for (const ShelfItem &item : m_manager->items())
            names.append(item.url.fileName());
        return names;
    }

    void settle(double seconds = 0.0) { m_scheduler.advance(seconds); }

    QTemporaryDir m_root;
    SimDesktop m_sim;
    ManualScheduler m_scheduler;
    SchedulerQueueFactory m_queues{m_scheduler};
    RecordingEventLog m_events;
    std::unique_ptr<FileShelfManager> m_manager;
};

} // namespace qv
