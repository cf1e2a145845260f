#pragma once

#include <QScrollArea>

namespace qv {

// A strip of content wider than the view that an ordinary mouse wheel scrolls sideways: mostly
// vertical wheel input moves it horizontally (pixel deltas as they are, wheel notches as lines of
// 10 points), kept inside the content; mostly horizontal input (touchpad swipes) scrolls as usual.
// No scroll bars and no background of its own. The content is at least one point wider than the
// visible area. Main thread.
class HorizontalWheelScroll : public QScrollArea
{
    Q_OBJECT
public:
    explicit HorizontalWheelScroll(QWidget *parent = nullptr);

    // The full width the content needs; the content widget is resized only when its width moves by
    // half a point or more.
    void setContentWidth(double width);
    double contentWidth() const { return m_contentWidth; }
    double lastAppliedWidth() const { return m_lastAppliedWidth; }
    int offset() const;

protected:
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyContent();

    double m_contentWidth = 1;
    double m_lastAppliedWidth = -1;
};

} // namespace qv
