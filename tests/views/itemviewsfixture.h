#pragma once

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "support/recordingeventlog.h"
#include "support/screenshot.h"
#include "views/items/ageclock.h"

namespace qv {

inline int countPixels(const QImage &image, const QRect &area,
                       const std::function<bool(const QColor &)> &test)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.rect().contains(x, y) && test(image.pixelColor(x, y)))
                ++count;
        }
    }
    return count;
}

// The texts of a context menu, "-" for a separator; the menu is deleted.
inline QStringList menuTexts(QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    delete menu;
    return texts;
}

// A decoding queue that holds its jobs until the test runs them, newest first: the answer for an
// earlier request then arrives after the answer for a later one, as a slow decode would.
class HeldQueue final : public WorkQueue
{
public:
    QString label() const override { return QStringLiteral("held"); }
    void async(std::function<void()> job) override { m_jobs.append(std::move(job)); }
    void runNewestFirst()
    {
        while (!m_jobs.isEmpty())
            m_jobs.takeLast()();
    }

private:
    QList<std::function<void()>> m_jobs;
};

// The item views on a simulated desktop with manual time: decoding queues run on the test's thread
// when the scheduler is advanced. Files live in a temporary folder.
class ItemViewsTest : public ::testing::Test
{
protected:
    ItemViewsTest()
    {
        // The pictures show the theme's file icons, as a real desktop would.
        m_sim.fileIcons.useIconTheme();
        m_shelf = std::make_unique<FileShelfManager>(m_sim.platform(), m_scheduler, m_queues, m_events,
                                                     m_root.filePath(QStringLiteral("shelf")));
    }

    std::shared_ptr<WorkQueue> decodeQueue()
    {
        return m_queues.makeQueue(QStringLiteral("test"), QueueKind::Concurrent);
    }

    QString path(const QString &name) const { return m_root.filePath(name); }
    QUrl writeFile(const QString &name, const QByteArray &content)
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return QUrl::fromLocalFile(path(name));
    }
    QUrl writeImage(const QString &name, const QSize &size, const QColor &color, const char *format = "PNG")
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        EXPECT_TRUE(image.save(path(name), format, 40));
        return QUrl::fromLocalFile(path(name));
    }

    // What the widget shows over a black backdrop.
    static QImage seen(QWidget &widget)
    {
        QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    // Saves the widget over a dark desktop-like backdrop for the screenshot gallery (the views are
    // see-through and are judged over what a user would have behind them).
    static void shot(QWidget &widget, const QString &name)
    {
        QImage image(widget.size() + QSize(24, 24), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, image.width(), image.height());
        gradient.setColorAt(0, QColor(28, 36, 60));
        gradient.setColorAt(1, QColor(60, 30, 56));
        painter.fillRect(image.rect(), gradient);
        widget.render(&painter, QPoint(12, 12), QRegion(), QWidget::DrawChildren);
        painter.end();
        QLabel label;
        label.setPixmap(QPixmap::fromImage(image));
        label.resize(image.size());
        saveScreenshot(label, name);
    }

    static bool isCyan(const QColor &c) { return c.red() < 80 && c.green() > 150 && c.blue() > 170; }
    static bool isRed(const QColor &c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }

    QTemporaryDir m_root;
    SimDesktop m_sim;
    ManualScheduler m_scheduler;
    SchedulerQueueFactory m_queues{m_scheduler};
    RecordingEventLog m_events;
    SettingsStore m_settings;
    AgeClock m_ages{m_scheduler};
    std::unique_ptr<FileShelfManager> m_shelf;
};

} // namespace qv
