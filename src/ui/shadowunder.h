#pragma once

#include <QPointer>
#include <QWidget>

namespace qv {

// The soft shadow of a widget that floats over its siblings (a bubble over a list): a sibling of
// its own, just under it in the stacking order and a shadow's reach larger, that follows the
// widget's frame and visibility and takes no input. It lives as long as the widget. Main thread.
class ShadowUnder : public QWidget
{
public:
    struct Look
    {
        double cornerRadius = 0;
        double opacity = 0.3;
        double radius = 10;
        double dy = 0;
    };

    ShadowUnder(QWidget &target, Look look);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void follow();
    int reach() const;

    QPointer<QWidget> m_target;
    Look m_look;
};

} // namespace qv
