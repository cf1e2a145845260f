#include "views/items/shownthumbnail.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include "core/itemthumbnail.h"

namespace qv {

ShownThumbnail::ShownThumbnail(QWidget *owner) : QObject(owner), m_owner(owner)
{
    owner->installEventFilter(this);
}

QImage ShownThumbnail::picture(const ItemThumbnail &thumbnail)
{
    if (m_key != thumbnail.cacheKey() || m_picture.isNull()) {
        m_key = thumbnail.cacheKey();
        m_picture = thumbnail.imageWhenReady([owner = QPointer<QWidget>(m_owner)] {
            if (owner)
                owner->update();
        });
    }
    return m_picture;
}

bool ShownThumbnail::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_owner && event->type() == QEvent::Hide)
        m_picture = QImage();
    return false;
}

} // namespace qv
