#include "shelf/appkitdropzone.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QVBoxLayout>

#include "platform/droptypes.h"
#include "platform/urilist.h"
#include "runtime/scheduler.h"
#include "shelf/fileshelfmanager.h"

namespace qv {

static_assert(DropType::maxUriListEntries == FileShelfManager::capacity,
              "a drop's list is parsed ahead of the shelf to the shelf's own bound");

namespace {

// "text/x-moz-url" is the address and the title on two lines, in UTF-16 from browsers.
QStringList mozUrlLines(const QByteArray &data)
{
    QString text;
    if (data.size() % 2 == 0 && data.contains('\0'))
        text = QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData()), data.size() / 2);
    else
        text = QString::fromUtf8(data);
    text.remove(QChar(u'\0'));
    return text.split(QLatin1Char('\n'));
}

} // namespace

AppKitDropZone::AppKitDropZone(Scheduler &scheduler, std::function<bool(const DropData &)> onDrop,
                               QWidget *content, QWidget *parent)
    : QWidget(parent), m_scheduler(scheduler), m_onDrop(std::move(onDrop))
{
    setAcceptDrops(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setContent(content);
}

void AppKitDropZone::setContent(QWidget *content)
{
    if (content == m_content)
        return;
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    if (m_content)
        layout()->addWidget(m_content);
}

DropData AppKitDropZone::dropData(const QMimeData &mime)
{
    DropData drop;
    const auto *read = dynamic_cast<const ReadDropData *>(&mime);
    if (read)
        drop.notRead = read->notRead();
    if (read && read->uriList()) {
        // Parsed as it was read, within the same bounds.
        const UriList &list = *read->uriList();
        drop.fileURLs = list.files;
        drop.urls = list.files + list.others;
        drop.cut = list.cut;
    } else if (mime.hasFormat(DropType::uriList)) {
        // The other program decides the list's length: only what the shelf can hold is read.
        const UriList list =
            UriList::parse(mime.data(DropType::uriList),
                           {UriList::defaultMaxBytes, UriList::defaultMaxLines, FileShelfManager::capacity});
        drop.fileURLs = list.files;
        drop.urls = list.files + list.others;
        drop.cut = list.cut;
    }
    if (mime.hasFormat(DropType::mozUrl)) {
        const QStringList lines =
            mozUrlLines(mime.data(DropType::mozUrl).left(DropType::maxMozUrlBytes));
        const QUrl url(lines.value(0).trimmed());
        if (url.isValid() && !url.isLocalFile() && !drop.urls.contains(url))
            drop.urls.append(url);
        drop.urlName = lines.value(1).trimmed();
    }
    if (mime.hasFormat(QStringLiteral("application/x-qt-image"))) {
        const QImage image = qvariant_cast<QImage>(mime.imageData());
        if (!image.isNull())
            drop.images.append(image);
    }
    DropDataItem item;
    for (const QString &type : dropImageTypes()) {
        if (mime.hasFormat(type))
            item.imageData.append({type, mime.data(type)});
    }
    item.urlName = drop.urlName;
    if (!item.imageData.isEmpty())
        drop.items.append(item);
    return drop;
}

void AppKitDropZone::setTargeting(bool targeting)
{
    if (targeting == m_isTargeting)
        return;
    m_isTargeting = targeting;
    emit isTargetingChanged();
}

void AppKitDropZone::postTargeting(bool targeting)
{
    m_scheduler.post([this, alive = std::weak_ptr<bool>(m_alive), targeting] {
        if (alive.lock())
            setTargeting(targeting);
    });
}

void AppKitDropZone::dragEnterEvent(QDragEnterEvent *event)
{
    postTargeting(true);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void AppKitDropZone::dragMoveEvent(QDragMoveEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void AppKitDropZone::dragLeaveEvent(QDragLeaveEvent *event)
{
    postTargeting(false);
    event->accept();
}

void AppKitDropZone::dropEvent(QDropEvent *event)
{
    postTargeting(false);
    const bool taken = m_onDrop && event->mimeData() && m_onDrop(dropData(*event->mimeData()));
    if (taken) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace qv
