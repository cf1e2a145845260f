#include "views/bubble/windowpreviewcard.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "core/color.h"
#include "core/localization.h"
#include "ui/menulook.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/bubble/trafficlightbutton.h"

namespace qv {

namespace {

constexpr double padding = 8;
constexpr double stackSpacing = 8;
constexpr double titleHeight = 14;
constexpr double cornerRadius = 12;
constexpr double imageRadius = 10;
constexpr double hoverScale = 1.05;
constexpr double dragScale = 1.08;

double length(const QPointF &p)
{
    return std::sqrt(p.x() * p.x() + p.y() * p.y());
}

// The top of the thumbnail inside the card: the stack is centred vertically in the frame.
double thumbnailTop()
{
    const double stack = WindowPreviewCard::thumbnailSize.height() + stackSpacing + titleHeight;
    return (WindowPreviewCard::cardSize.height() - stack) / 2;
}

} // namespace

WindowPreviewCard::WindowPreviewCard(const AppWindowModel &window, const CardActions &actions,
                                     Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_window(window), m_actions(actions), m_scaleAnimation(scheduler),
      m_offsetAnimation(scheduler)
{
    setFixedSize(cardSize.width() + 2 * margin, cardSize.height() + 2 * margin);
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    m_close = new TrafficLightButton(Theme::systemRed(), QStringLiteral("xmark"), this);
    m_minimize = new TrafficLightButton(Theme::systemYellow(), QStringLiteral("minus"), this);
    m_fullScreen = new TrafficLightButton(Theme::systemGreen(),
                                          QStringLiteral("arrow.up.left.and.arrow.down.right"), this);
    connect(m_close, &QAbstractButton::clicked, this,
            [this] { CardActions::run(m_actions.closeWindow, m_window); });
    connect(m_minimize, &QAbstractButton::clicked, this,
            [this] { CardActions::run(m_actions.minimizeWindow, m_window); });
    connect(m_fullScreen, &QAbstractButton::clicked, this,
            [this] { CardActions::run(m_actions.toggleFullScreen, m_window); });
    // The buttons sit on a capsule inset 4 pt into the thumbnail, 6 pt from its ends.
    const double left = margin + padding + 4 + 6;
    const double top = margin + thumbnailTop() + 4 + 4;
    int x = int(left);
    for (TrafficLightButton *button : trafficLights()) {
        button->move(x, int(top));
        x += TrafficLightButton::frameSize + 4;
    }
    updateLights();
}

QList<TrafficLightButton *> WindowPreviewCard::trafficLights() const
{
    return {m_close, m_minimize, m_fullScreen};
}

void WindowPreviewCard::setWindow(const AppWindowModel &window)
{
    m_window = window;
    updateLights();
    update();
}

QRectF WindowPreviewCard::letterboxed(const QSizeF &imageSize, const QRectF &area)
{
    if (imageSize.isEmpty())
        return QRectF(area.center(), QSizeF());
    const QSizeF fitted = imageSize.scaled(area.size(), Qt::KeepAspectRatio);
    return QRectF(area.center().x() - fitted.width() / 2, area.center().y() - fitted.height() / 2,
                  fitted.width(), fitted.height());
}

WindowPreviewCard::~WindowPreviewCard()
{
    if (m_dragging && m_actions.cancelDrag)
        m_actions.cancelDrag();
}

void WindowPreviewCard::releasePress()
{
    if (!m_pressed && !m_dragging)
        return;
    m_pressed = false;
    if (m_dragging)
        releaseKeyboard();
    m_dragging = false;
    m_offsetAnimation.cancel();
    m_dragOffset = QPointF();
    m_hovered = false;
    updateLights();
    m_scaleAnimation.cancel();
    m_scale = targetScale();
    update();
}

void WindowPreviewCard::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Escape || !m_dragging) {
        QWidget::keyPressEvent(event);
        return;
    }
    releasePress();
    if (m_actions.cancelDrag)
        m_actions.cancelDrag();
}

void WindowPreviewCard::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A hidden card hears no release: a drag under way is abandoned here, or it would stay pressed
    // and its zones and peek would stay up.
    const bool wasDragging = m_dragging;
    releasePress();
    setHovered(false);
    if (wasDragging && m_actions.cancelDrag)
        m_actions.cancelDrag();
}

bool WindowPreviewCard::startsDrag(const QPointF &translation)
{
    return length(translation) >= dragThreshold;
}

bool WindowPreviewCard::releaseFocuses(const QPointF &translation)
{
    return length(translation) < clickTravel;
}

double WindowPreviewCard::targetScale() const
{
    return m_dragging ? dragScale : (m_hovered ? hoverScale : 1.0);
}

void WindowPreviewCard::animateScale()
{
    m_scaleAnimation.start(m_scale, targetScale(), 0.5, Animation::spring(0.3, 0.7), [this](double value) {
        m_scale = value;
        update();
    });
}

void WindowPreviewCard::updateLights()
{
    const bool visible = m_hovered && !m_dragging;
    m_minimize->setEnabled(!m_window.isMinimized);
    for (TrafficLightButton *button : trafficLights())
        button->setVisible(visible);
}

void WindowPreviewCard::setHovered(bool hovered)
{
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    if (hovered && !m_dragging)
        raise(); // its scaled picture overlaps the neighbours' margins
    updateLights();
    animateScale();
    update();
    if (!hovered && m_actions.stopPeeking)
        m_actions.stopPeeking();
}

void WindowPreviewCard::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (!m_pressed)
        setHovered(false);
}

void WindowPreviewCard::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !cardRect().contains(event->position().toPoint())) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    m_pressGlobal = event->globalPosition();
}

void WindowPreviewCard::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed) {
        setHovered(cardRect().contains(event->position().toPoint()));
        return;
    }
    const QPointF translation = event->globalPosition() - m_pressGlobal;
    if (!m_dragging) {
        if (!startsDrag(translation))
            return;
        m_dragging = true;
        // As any drag does, the keyboard is held while the button is: Esc abandons the drag.
        grabKeyboard();
        updateLights();
        animateScale();
        CardActions::run(m_actions.startPeeking, m_window);
    }
    m_offsetAnimation.cancel();
    m_dragOffset = translation;
    update();
    if (m_actions.updateDrag)
        m_actions.updateDrag(event->globalPosition());
}

void WindowPreviewCard::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    const QPointF translation = event->globalPosition() - m_pressGlobal;
    if (!m_dragging) {
        CardActions::run(m_actions.focusWindow, m_window);
        return;
    }
    m_dragging = false;
    releaseKeyboard();
    const QPointF from = m_dragOffset;
    m_offsetAnimation.start(0, 1, 0.25, Animation::spring(0.1, 0.8), [this, from](double progress) {
        m_dragOffset = from * (1 - progress);
        update();
    });
    const bool stillOnCard = cardRect().contains(event->position().toPoint());
    m_hovered = stillOnCard;
    updateLights();
    animateScale();
    CardActions::run(m_actions.endDrag, m_window);
    if (releaseFocuses(translation))
        CardActions::run(m_actions.focusWindow, m_window);
}

QMenu *WindowPreviewCard::buildContextMenu(QWidget *parent) const
{
    auto *menu = new QMenu(parent);
    applyMenuLook(*menu);
    const AppWindowModel window = m_window;
    const CardActions &actions = m_actions;
    auto add = [&](const char *key, const char *symbol, std::function<void()> run) {
        QAction *action = menu->addAction(menuIcon(QString::fromLatin1(symbol)),
                                          Localization::text(QLatin1String(key), m_language));
        QObject::connect(action, &QAction::triggered, menu, std::move(run));
        return action;
    };
    add("ctx_focus", "scope", [&actions, window] { CardActions::run(actions.focusWindow, window); });
    add("ctx_minimize", "minus.square", [&actions, window] {
        CardActions::run(actions.minimizeWindow, window);
    })->setEnabled(!window.isMinimized);
    menu->addSeparator();
    auto snap = [&actions, window](SnapPosition position) {
        return [&actions, window, position] {
            if (actions.snapWindow)
                actions.snapWindow(window, position);
        };
    };
    add("ctx_snap_left", "sidebar.left", snap(SnapPosition::left));
    add("ctx_snap_right", "sidebar.right", snap(SnapPosition::right));
    add("ctx_maximize", "arrow.up.left.and.arrow.down.right",
        [&actions, window] { CardActions::run(actions.toggleFullScreen, window); });
    menu->addSeparator();
    add("ctx_close", "xmark.circle", [&actions, window] { CardActions::run(actions.closeWindow, window); });
    menu->addSeparator();
    add("ctx_hide_app", "eye.slash",
        [&actions, window] { CardActions::run(actions.hideFromPreview, window); });
    return menu;
}

void WindowPreviewCard::contextMenuEvent(QContextMenuEvent *event)
{
    if (!cardRect().contains(event->pos()))
        return;
    QMenu *menu = buildContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void WindowPreviewCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF card(cardRect());
    painter.translate(m_dragOffset);
    painter.translate(card.center());
    painter.scale(m_scale, m_scale);
    painter.translate(-card.center());
    if (m_dragging)
        painter.setOpacity(0.8);

    QPainterPath outline;
    outline.addRoundedRect(card, cornerRadius, cornerRadius);
    painter.save();
    painter.setClipPath(outline);
    if (m_hovered)
        painter.fillRect(card, Theme::white(0.12));

    const QRectF thumb(card.x() + padding, card.y() + thumbnailTop(), thumbnailSize.width(),
                       thumbnailSize.height());
    QPainterPath thumbPath;
    thumbPath.addRoundedRect(thumb, cornerRadius, cornerRadius);
    painter.fillPath(thumbPath, Theme::black(0.3));
    if (!m_window.image.isNull()) {
        const QRectF target = letterboxed(QSizeF(m_window.image.size()), thumb);
        QPainterPath imagePath;
        imagePath.addRoundedRect(target, imageRadius, imageRadius);
        painter.save();
        painter.setClipPath(imagePath, Qt::IntersectClip);
        painter.drawImage(target, m_window.image);
        painter.restore();
    } else {
        const int size = 34;
        const QPixmap placeholder =
            Symbols::pixmap(QStringLiteral("photo"), size, Theme::white(0.2), devicePixelRatioF());
        painter.drawPixmap(QPointF(thumb.center().x() - size / 2.0, thumb.center().y() - size / 2.0),
                           placeholder);
    }
    if (m_hovered && !m_dragging) {
        const QRectF capsule(thumb.x() + 4, thumb.y() + 4, 6 + 3 * TrafficLightButton::frameSize + 2 * 4 + 6,
                             4 + TrafficLightButton::frameSize + 4);
        QPainterPath capsulePath;
        capsulePath.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.fillPath(capsulePath, Theme::ultraThinMaterial(true));
    }

    const QRectF titleRect(card.x() + padding + 4, thumb.bottom() + stackSpacing, thumbnailSize.width() - 8,
                           titleHeight);
    painter.setFont(Theme::systemFont(11));
    painter.setPen(Theme::white(0.9));
    const QString title =
        painter.fontMetrics().elidedText(m_window.title, Qt::ElideRight, int(titleRect.width()));
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    painter.restore();

    const QColor border = m_hovered ? Color::neonCyan() : Theme::white(0);
    painter.setPen(QPen(border, m_hovered ? 2 : 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
}

} // namespace qv
