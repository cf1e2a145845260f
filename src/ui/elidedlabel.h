#pragma once

#include <QColor>
#include <QLabel>

namespace qv {

// One line of text in `color` that ends in an ellipsis where it does not fit; it never asks for
// more width than it is given (a long file name does not widen its panel). Main thread.
class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(const QColor &color, QWidget *parent = nullptr);

    // The text as drawn at the present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};

} // namespace qv
