#pragma once

#include <QImage>
#include <QPixmap>
#include <QUrl>
#include <QWidget>

#include <memory>

#include "runtime/scheduler.h"

namespace qv {

class Scheduler;
class WorkQueue;

// An image file from disk shown without decoding it on the GUI thread: the file is read on a work
// queue (orientation applied, scaled down to `maxPixelSize` on its longer side, allocation bounded)
// and only the finished picture is turned into a pixmap here. Shows a spinner while loading, the
// picture once loaded (fitted, aspect kept), a red warning triangle when the file cannot be
// decoded. Every appearance and every change of URL starts a load; a result that belongs to an
// earlier URL is dropped. Main thread.
class SafeImagePreview : public QWidget
{
    Q_OBJECT
public:
    enum class State { Loading, Loaded, Failed };

    SafeImagePreview(const QUrl &url, int maxPixelSize, std::shared_ptr<WorkQueue> queue,
                     Scheduler &scheduler, QWidget *parent = nullptr);
    ~SafeImagePreview() override;

    QUrl url() const { return m_url; }
    void setUrl(const QUrl &url);
    int maxPixelSize() const { return m_maxPixelSize; }
    // Loaded wins over failed: a reload that fails keeps the picture of the same URL on screen.
    State state() const;
    QPixmap pixmap() const { return m_pixmap; }
    // Starts a load; the view does this itself each time it is shown.
    void load();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void accept(int generation, const QImage &image);
    // The spinner turns one step at a time, only while it shows.
    void spin();

    QUrl m_url;
    int m_maxPixelSize;
    std::shared_ptr<WorkQueue> m_queue;
    Scheduler &m_scheduler;
    // Bumped on every change of URL; results carry the value they were started with.
    int m_generation = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    QPixmap m_pixmap;
    bool m_failed = false;
    TimerHandle m_spin;
    int m_spinStep = 0;
};

} // namespace qv
