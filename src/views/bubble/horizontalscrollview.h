#pragma once

#include <QScrollArea>

namespace qv {

// A row that scrolls sideways. An ordinary mouse wheel (a vertical turn) moves it 3 pt per unit of
// delta, a positive turn towards the start, clamped to the content; a horizontal swipe scrolls as
// usual. Never shows scroll bars.
class HorizontalScrollView : public QScrollArea
{
    Q_OBJECT
public:
    explicit HorizontalScrollView(QWidget *parent = nullptr);

    // The offset after a vertical wheel turn of `dy` units, from `offset`, for content of
    // `contentWidth` in a view `viewWidth` wide.
    static double wheelOffset(double offset, double dy, double contentWidth, double viewWidth);

protected:
    void wheelEvent(QWheelEvent *event) override;
};

} // namespace qv
