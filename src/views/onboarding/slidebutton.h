#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QMargins>

namespace qv {

// A plain button of the first-run slides: its label is the whole button, a text on a rounded fill
// with an optional outline and shadow. Main thread.
class SlideButton : public QAbstractButton
{
    Q_OBJECT
public:
    struct Look
    {
        QFont font;
        QColor text;
        QColor fill;
        QColor outline; // invalid: none
        double radius = 10;
        QMargins padding;
        QColor shadow; // invalid: none
        double shadowRadius = 0;
    };

    explicit SlideButton(Look look, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Look m_look;
};

} // namespace qv
