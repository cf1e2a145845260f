#pragma once

#include <QPixmap>
#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <functional>

#include "core/applanguage.h"
#include "ui/animatedvalue.h"
#include "views/superpanel/symbolbutton.h"
#include "windows/appwindowmodel.h"

class QMenu;

namespace qv {

class Scheduler;
struct SuperPanelActions;

// One window in the Super Panel's grid: a rounded glass card with the window's snapshot (or a
// window placeholder), the application's icon, name and the window's title. Hovered or selected it
// shows the eye button (focus the window, hide the other applications); selected it is outlined in
// cyan, glows, grows slightly and shows the Return hint. A press that moves 10 pt becomes a drag
// that peeks the window and follows the pointer over the snap zones; a drag released within 14 pt
// of its start counts as the eye, a longer one ends with `onDragEnd`. The context menu is the
// window action menu every card shares.
//
// The card keeps view state only (hover, drag); its owner places it (setBasePosition) and says
// whether it is selected. `actions` and the scheduler must outlive it. Main thread.
class GlobalWindowCard : public QWidget
{
    Q_OBJECT
public:
    // Room around the card for its selected scale, glow and shadow.
    static constexpr int margin = 12;
    static constexpr double cornerRadius = 14;

    struct Callbacks
    {
        std::function<void()> onFocusAction;
        std::function<void()> onDragEnd;
        // A click that did not become a drag.
        std::function<void()> onTap;
        // The pointer entered the card.
        std::function<void()> onHover;
        // A drag moved the card by `offset` from its place; the drag is over.
        std::function<void(const QPointF &offset)> onDragMove;
        std::function<void()> onDragStop;
    };

    GlobalWindowCard(const AppWindowModel &window, const SuperPanelActions &actions, Scheduler &scheduler,
                     Callbacks callbacks, QWidget *parent = nullptr);
    // A card that goes while dragged abandons its drag.
    ~GlobalWindowCard() override;

    const AppWindowModel &window() const { return m_window; }
    // A new picture or title of the same window keeps the card and its state.
    void setWindow(const AppWindowModel &window);
    void setLanguage(AppLanguage language);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // The card's size without the margin; the widget adds `margin` on every side.
    void setCardSize(const QSize &size);
    QRect cardRect() const;
    // Where the card sits in its parent while it is not dragged (top-left of the card itself).
    void setBasePosition(const QPoint &topLeft);

    bool isHovered() const { return m_hovered; }
    bool isDraggingLocal() const { return m_dragging; }
    QPointF dragOffset() const { return m_dragOffset; }
    double scale() const { return m_scale.value(); }
    // How far the selected look has come in: 0 unselected, 1 selected (it may overshoot while it
    // springs).
    double selection() const { return m_selection.value(); }
    QAbstractButton *eyeButton() const { return m_eye; }
    // While a picture of the card follows the pointer, its place shows only a faint card.
    void setGhosted(bool ghosted);
    bool showsReturnHint() const { return m_selected; }
    QMenu *buildContextMenu(QWidget *parent) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void setHovered(bool hovered);
    // Ends a press or drag that will hear no release; a drag ends without snapping.
    void abandonPress();
    // The eye button fades in and out on the spring of what changed (hover or selection).
    void updateChrome(double response);
    void applyChromeOpacity();
    void animateScale();
    double targetScale() const;
    void place();
    const QPixmap &thumbnail(const QRectF &area);
    const QPixmap &iconPixmap();

    AppWindowModel m_window;
    const SuperPanelActions &m_actions;
    Callbacks m_callbacks;
    AppLanguage m_language = AppLanguage::system;
    SymbolButton *m_eye = nullptr;
    QPoint m_base;
    bool m_selected = false;
    bool m_hovered = false;
    bool m_pressed = false;
    bool m_dragging = false;
    bool m_ghosted = false;
    QPointF m_pressGlobal;
    QPointF m_dragOffset;
    AnimatedValue m_scale;
    AnimatedValue m_selection;
    AnimatedValue m_chrome;
    QPixmap m_thumbnail;
    qint64 m_thumbnailKey = 0;
    QSize m_thumbnailSize;
    QPixmap m_icon;
    QPixmap m_iconShadow;
    qint64 m_iconKey = 0;
};

} // namespace qv
