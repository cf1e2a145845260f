#pragma once

#include <QWidget>

#include "ui/animatedvalue.h"

namespace qv {

// Holds one widget that comes and goes by sliding down from its top edge and fading, while the
// room it takes in the layout opens and closes with it, on a spring. At rest it is the widget at
// its preferred height, or nothing (hidden). Frames come only while it moves. The scheduler must
// outlive the box. Main thread.
class RevealBox : public QWidget
{
    Q_OBJECT
public:
    RevealBox(QWidget *content, bool revealed, Scheduler &scheduler, double response, double dampingFraction,
              QWidget *parent = nullptr);

    // Shown, or on its way in.
    bool isRevealed() const { return m_progress.target() > 0; }
    // Springs in or out; while the box is hidden from view it changes at once.
    void setRevealed(bool revealed);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return false; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void follow();
    int contentHeight() const;

    QWidget *m_content;
    double m_response;
    double m_damping;
    AnimatedValue m_progress;
};

} // namespace qv
