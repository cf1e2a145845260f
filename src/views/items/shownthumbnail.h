#pragma once

#include <QImage>
#include <QObject>

#include "core/itemthumbnail.h"

class QWidget;

namespace qv {

// The decoded picture of an item's thumbnail for as long as its widget is shown: asked for at the
// widget's first paint (decoded off the main thread; the widget repaints once it arrives) and let
// go when the widget is hidden or goes, so only pictures on screen stay decoded. Main thread.
class ShownThumbnail : public QObject
{
public:
    explicit ShownThumbnail(QWidget *owner);
    ~ShownThumbnail() override;

    // The picture of `thumbnail`, or null while it is on its way.
    QImage picture(const ItemThumbnail &thumbnail);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void letGo();

    QWidget *m_owner;
    ItemThumbnail m_thumbnail;
    QImage m_picture;
};

} // namespace qv
