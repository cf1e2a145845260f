#pragma once

#include <QPointF>
#include <QWidget>

#include "core/applanguage.h"
#include "ui/animatedvalue.h"
#include "ui/animation.h"
#include "views/bubble/cardactions.h"
#include "windows/appwindowmodel.h"

class QMenu;

namespace qv {

class Scheduler;
class TrafficLightButton;

// One window of the hovered application in the bubble: its snapshot letter-boxed into the
// thumbnail, its title, and while the pointer rests on it three round buttons (close, minimise,
// full screen) on a frosted capsule, which come and go growing from and shrinking to 0.9 of their
// size and fading; the hover's fill and cyan border move on the same spring. A click focuses the window; a
// drag of 12 pt or more peeks and lets it be dropped on a snap zone (a drag that travels under 16 pt also
// focuses; Esc abandons it); the context menu offers the window actions. The card keeps view state only;
// every action goes through `actions`, which must outlive the card. Main thread.
class WindowPreviewCard : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize cardSize{165, 145};
    static constexpr QSizeF thumbnailSize{145, 85};
    // Room around the card for its hover and drag scale.
    static constexpr int margin = 8;
    static constexpr double dragThreshold = 12;
    static constexpr double clickTravel = 16;

    WindowPreviewCard(const AppWindowModel &window, const CardActions &actions, Scheduler &scheduler,
                      QWidget *parent = nullptr);
    // A card that goes while dragged abandons its drag.
    ~WindowPreviewCard() override;

    const AppWindowModel &window() const { return m_window; }
    // A new picture or title of the same window keeps the card and its state.
    void setWindow(const AppWindowModel &window);
    void setLanguage(AppLanguage language) { m_language = language; }

    bool isHovered() const { return m_hovered; }
    bool isDraggingLocal() const { return m_dragging; }
    // Pressed (dragged or not) and waiting for the release.
    bool isPressed() const { return m_pressed; }
    // The drag ended elsewhere (its safety timeout): the card lets go of the press and of its drag
    // look at once, and the release that may still come is not a click.
    void releasePress();
    QPointF dragOffset() const { return m_dragOffset; }
    double scale() const { return m_scale; }
    // The card's own rectangle inside the widget (the widget adds `margin` on every side).
    QRect cardRect() const { return QRect(QPoint(margin, margin), cardSize); }
    // The three buttons, left to right; shown only while hovered and not dragging.
    QList<TrafficLightButton *> trafficLights() const;
    // How far the hover look (fill, border, buttons) has come in: 0 at rest, 1 hovered.
    double hoverProgress() const { return m_hoverLook.value(); }
    double lightsPresence() const { return m_lightsPresence.value(); }
    // The context menu the card would open now (for the window's current state).
    QMenu *buildContextMenu(QWidget *parent) const;

    // Where a picture of `imageSize` sits when fitted into `area` keeping its aspect ratio.
    static QRectF letterboxed(const QSizeF &imageSize, const QRectF &area);
    // Whether a gesture that travelled `translation` has become a drag, and whether releasing it
    // still counts as a click.
    static bool startsDrag(const QPointF &translation);
    static bool releaseFocuses(const QPointF &translation);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void setHovered(bool hovered);
    void updateLights();
    void applyLights();
    void animateScale();
    double targetScale() const;

    AppWindowModel m_window;
    const CardActions &m_actions;
    AppLanguage m_language = AppLanguage::system;
    QWidget *m_lights = nullptr;
    TrafficLightButton *m_close = nullptr;
    TrafficLightButton *m_minimize = nullptr;
    TrafficLightButton *m_fullScreen = nullptr;
    bool m_hovered = false;
    bool m_pressed = false;
    bool m_dragging = false;
    QPointF m_pressGlobal;
    QPointF m_dragOffset;
    double m_scale = 1.0;
    Animation m_scaleAnimation;
    Animation m_offsetAnimation;
    AnimatedValue m_hoverLook;
    AnimatedValue m_lightsPresence;
};

} // namespace qv
