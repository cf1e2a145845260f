#pragma once

#include <QWidget>

#include <functional>

namespace qv {

// A floating panel over the Super Panel (a gallery, a large preview): the glass material in its own
// rounded frame, a light band behind its header, a dark band behind the rest where asked, and a
// faint edge. Clicks inside stop here; `onLeave` hears the pointer leave it. Main thread.
class GlassPanelView : public QWidget
{
public:
    struct Look
    {
        double blurAmount = 40;
        double opacity = 0.95;
        double cornerRadius = 20;
        double edgeOpacity = 0.15;
        // Black at this opacity behind everything under the header; 0 for none.
        double bodyDim = 0;
    };

    explicit GlassPanelView(Look look, QWidget *parent = nullptr);

    void setHeader(QWidget *header) { m_header = header; }
    void setOnLeave(std::function<void()> onLeave) { m_onLeave = std::move(onLeave); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Look m_look;
    QWidget *m_header = nullptr;
    std::function<void()> m_onLeave;
};

} // namespace qv
