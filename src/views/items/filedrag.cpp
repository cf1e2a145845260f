#include "views/items/filedrag.h"

#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <memory>
#include <optional>

#include "views/items/itemrules.h"

namespace qv::FileDrag {

QMimeData *makeData(const QUrl &url)
{
    auto *data = new QMimeData;
    if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile()))
        data->setUrls({url});
    return data;
}

QMimeData *makeData(const ShelfItem &item)
{
    const std::optional<QUrl> web = ItemRules::webAddress(item);
    if (!web)
        return makeData(item.url);
    auto *data = new QMimeData;
    data->setUrls({*web});
    data->setText(web->toString());
    return data;
}

namespace {

// Follows a drag over the window it started from (Qt tells the window of every position while the
// window is the drag's target) and reports, once, the first position that is over neither one of
// the window's drop targets nor the drag's source. A window cut to its outline is left without
// such a position: the drag goes straight from it to the window below, and only its leave tells.
class TargetWatch : public QObject
{
public:
    TargetWatch(QWidget *source, std::function<void()> left)
        : m_source(source), m_window(source->window()), m_left(std::move(left))
    {
        if (m_window->windowHandle())
            m_window->windowHandle()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (!m_left)
            return false;
        std::optional<QPoint> at;
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)
            at = static_cast<QDragMoveEvent *>(event)->position().toPoint();
        else if (event->type() == QEvent::DragLeave)
            // A drag given up over one of the targets leaves too, with the pointer still on it.
            at = m_window->mapFromGlobal(QCursor::pos());
        if (at && !holds(*at)) {
            // Once: the rest of the drag belongs to the windows below.
            const std::function<void()> left = std::move(m_left);
            m_left = nullptr;
            left();
        }
        return false;
    }

private:
    bool holds(const QPoint &at) const
    {
        QWidget *under = m_window->childAt(at);
        for (QWidget *widget = under; widget; widget = widget->parentWidget()) {
            if (widget == m_source || (widget->acceptDrops() && widget != m_window))
                return true;
        }
        return false;
    }

    QPointer<QWidget> m_source;
    QWidget *m_window;
    std::function<void()> m_left;
};

} // namespace

bool run(QWidget *source, QMimeData *data, const QImage &picture, std::function<void()> leftTargets)
{
    std::unique_ptr<TargetWatch> watch;
    if (leftTargets)
        watch = std::make_unique<TargetWatch>(source, std::move(leftTargets));
    auto *drag = new QDrag(source);
    drag->setMimeData(data);
    if (!picture.isNull())
        drag->setPixmap(
            QPixmap::fromImage(picture.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return drag->exec(Qt::CopyAction) != Qt::IgnoreAction;
}

bool runThrough(const Run &host, QWidget *source, QMimeData *data, const QImage &picture)
{
    return host ? host(source, data, picture) : run(source, data, picture);
}

} // namespace qv::FileDrag
