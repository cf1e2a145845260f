#pragma once

#include <QImage>
#include <QObject>

class QWidget;

namespace qv {

class ItemThumbnail;

// The decoded picture of a clipboard thumbnail for as long as its widget is shown: asked for at the
// widget's first paint (decoded off the main thread; the widget repaints once it arrives) and let
// go when the widget is hidden, so only pictures on screen stay decoded. Main thread.
class ShownThumbnail : public QObject
{
public:
    explicit ShownThumbnail(QWidget *owner);

    // The picture of `thumbnail`, or null while it is on its way.
    QImage picture(const ItemThumbnail &thumbnail);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_owner;
    qint64 m_key = 0;
    QImage m_picture;
};

} // namespace qv
