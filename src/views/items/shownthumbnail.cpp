#include "views/items/shownthumbnail.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace qv {

ShownThumbnail::ShownThumbnail(QWidget *owner) : QObject(owner), m_owner(owner)
{
    owner->installEventFilter(this);
}

ShownThumbnail::~ShownThumbnail()
{
    letGo();
}

QImage ShownThumbnail::picture(const ItemThumbnail &thumbnail)
{
    if (m_thumbnail.cacheKey() != thumbnail.cacheKey())
        letGo();
    if (m_picture.isNull()) {
        m_thumbnail = thumbnail;
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
        letGo();
    return false;
}

void ShownThumbnail::letGo()
{
    m_picture = QImage();
    m_thumbnail.release();
    m_thumbnail = ItemThumbnail();
}

} // namespace qv
