#pragma once

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

namespace qv {

// A desktop-like wallpaper for widget pictures, so a see-through view is judged over something a
// user would have behind it. The view is placed as a child at `offset`.
class Backdrop : public QWidget
{
public:
    Backdrop(QWidget &view, const QSize &size, const QPoint &offset = QPoint(20, 20))
    {
        resize(size);
        view.setParent(this);
        view.move(offset);
        view.show();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, width(), height());
        gradient.setColorAt(0, QColor(58, 96, 150));
        gradient.setColorAt(1, QColor(140, 70, 120));
        painter.fillRect(rect(), gradient);
    }
};

} // namespace qv
