#include "views/bubble/windowpreviewcard.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "core/color.h"
#include "ui/scalefadeeffect.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/bubble/trafficlightbutton.h"
#include "views/bubble/windowactionmenu.h"

namespace qv {

namespace {

constexpr double padding = 8;
constexpr double stackSpacing = 8;
constexpr double titleHeight = 14;
constexpr double cornerRadius = 12;
constexpr double imageRadius = 10;
constexpr double hoverScale = 1.05;
constexpr double dragScale = 1.08;
constexpr double hoverResponse = 0.3;
constexpr double hoverDamping = 0.7;
constexpr double lightsScale = 0.9;
// The buttons' capsule: inset 4 into the thumbnail, the buttons 6 from its ends and 4 apart.
constexpr int capsuleInset = 4;
constexpr QSize capsuleSize(6 + 3 * TrafficLightButton::frameSize + 2 * 4 + 6,
                            4 + TrafficLightButton::frameSize + 4);

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

// The frosted capsule the buttons sit on.
class LightsCapsule : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath capsule;
        const QRectF shape(rect());
        capsule.addRoundedRect(shape, shape.height() / 2, shape.height() / 2);
        painter.fillPath(capsule, Theme::ultraThinMaterial(true));
    }
};

} // namespace

WindowPreviewCard::WindowPreviewCard(const AppWindowModel &window, const CardActions &actions,
                                     Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_window(window), m_actions(actions), m_scaleAnimation(scheduler),
      m_offsetAnimation(scheduler), m_hoverLook(scheduler, 0, [this] { update(); }),
      m_lightsPresence(scheduler, 0, [this] { applyLights(); })
{
    setFixedSize(cardSize.width() + 2 * margin, cardSize.height() + 2 * margin);
    setMouseTracking(true);
    m_lights = new LightsCapsule(this);
    m_lights->resize(capsuleSize);
    m_close = new TrafficLightButton(Theme::systemRed(), QStringLiteral("xmark"), m_lights);
    m_minimize = new TrafficLightButton(Theme::systemYellow(), QStringLiteral("minus"), m_lights);
    m_fullScreen = new TrafficLightButton(Theme::systemGreen(),
                                          QStringLiteral("arrow.up.left.and.arrow.down.right"), m_lights);
    connect(m_close, &QAbstractButton::clicked, this,
            [this] { CardActions::run(m_actions.closeWindow, m_window); });
    connect(m_minimize, &QAbstractButton::clicked, this,
            [this] { CardActions::run(m_actions.minimizeWindow, m_window); });
    connect(m_fullScreen, &QAbstractButton::clicked, this,
            [this] { CardActions::run(m_actions.toggleFullScreen, m_window); });
    int x = 6;
    for (TrafficLightButton *button : trafficLights()) {
        button->move(x, 4);
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
    if (m_dragging) {
        releaseKeyboard();
        releaseMouse();
    }
    m_dragging = false;
    m_offsetAnimation.cancel();
    m_dragOffset = QPointF();
    m_hovered = false;
    m_hoverLook.setValue(0);
    m_scaleAnimation.cancel();
    m_scale = targetScale();
    updateLights();
    update();
}

void WindowPreviewCard::keyPressEvent(QKeyEvent *event)
{
    // Keys reach the card only while its drag holds the keyboard, and only Esc means anything then:
    // the others stop here, or an arrow would scroll the strip out from under the dragged card.
    if (event->key() != Qt::Key_Escape || !m_dragging)
        return;
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
    m_scaleAnimation.start(m_scale, targetScale(), 0.5, Animation::spring(hoverResponse, hoverDamping),
                           [this](double value) {
                               m_scale = value;
                               applyLights();
                               update();
                           });
}

void WindowPreviewCard::updateLights()
{
    m_minimize->setEnabled(!m_window.isMinimized);
    const double target = m_hovered && !m_dragging ? 1 : 0;
    // A drag takes them away at once; a hover brings them in and out on its spring.
    if (m_dragging || !isVisible())
        m_lightsPresence.setValue(target);
    else
        m_lightsPresence.springTo(target, hoverResponse, hoverDamping);
    applyLights();
}

void WindowPreviewCard::applyLights()
{
    const double presence = m_lightsPresence.clamped();
    const bool coming = m_lightsPresence.target() > 0;
    m_lights->setVisible(coming || presence > 0);
    // Going, they take no clicks.
    m_lights->setAttribute(Qt::WA_TransparentForMouseEvents, !coming);
    if (m_lights->isHidden())
        return;
    // On the thumbnail as the card's scale and drag place it, at their own scale on top.
    const QPointF cardCentre = QRectF(cardRect()).center();
    const QPointF home(margin + padding + capsuleInset + capsuleSize.width() / 2.0,
                       margin + thumbnailTop() + capsuleInset + capsuleSize.height() / 2.0);
    const QPointF centre = cardCentre + (home - cardCentre) * m_scale + m_dragOffset;
    m_lights->move((centre - QPointF(capsuleSize.width() / 2.0, capsuleSize.height() / 2.0)).toPoint());
    setScaleFade(m_lights, presence, m_scale * (lightsScale + (1 - lightsScale) * presence));
}

void WindowPreviewCard::setHovered(bool hovered)
{
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    const double look = hovered ? 1 : 0;
    if (isVisible())
        m_hoverLook.springTo(look, hoverResponse, hoverDamping);
    else
        m_hoverLook.setValue(look);
    updateLights();
    animateScale();
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
        // So is the pointer: a press on the buttons' capsule left the capsule holding it, and the
        // capsule hides as the drag starts, so the moves and the release stopped reaching the card.
        grabMouse();
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
    releaseMouse();
    const QPointF from = m_dragOffset;
    m_offsetAnimation.start(0, 1, 0.25, Animation::spring(0.1, 0.8), [this, from](double progress) {
        m_dragOffset = from * (1 - progress);
        applyLights();
        update();
    });
    const bool stillOnCard = cardRect().contains(event->position().toPoint());
    m_hovered = stillOnCard;
    m_hoverLook.springTo(stillOnCard ? 1 : 0, hoverResponse, hoverDamping);
    updateLights();
    animateScale();
    CardActions::run(m_actions.endDrag, m_window);
    if (releaseFocuses(translation))
        CardActions::run(m_actions.focusWindow, m_window);
}

QMenu *WindowPreviewCard::buildContextMenu(QWidget *parent) const
{
    return WindowActionMenu::build(m_window, m_actions, m_language, parent);
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
    const double hover = m_hoverLook.clamped();
    painter.save();
    painter.setClipPath(outline);
    painter.fillRect(card, Theme::white(0.12 * hover));

    const QRectF thumb(card.x() + padding, card.y() + thumbnailTop(), thumbnailSize.width(),
                       thumbnailSize.height());
    QPainterPath thumbPath;
    thumbPath.addRoundedRect(thumb, cornerRadius, cornerRadius);
    painter.fillPath(thumbPath, Theme::black(0.3));

    const QRectF titleRect(card.x() + padding + 4, thumb.bottom() + stackSpacing, thumbnailSize.width() - 8,
                           titleHeight);
    painter.setFont(Theme::systemFont(11));
    painter.setPen(Theme::white(0.9));
    const QString title =
        painter.fontMetrics().elidedText(m_window.title, Qt::ElideRight, int(titleRect.width()));
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);

    // Last, so the picture's clip needs no undoing of its own.
    if (!m_window.image.isNull()) {
        const QRectF target = letterboxed(QSizeF(m_window.image.size()), thumb);
        QPainterPath imagePath;
        imagePath.addRoundedRect(target, imageRadius, imageRadius);
        painter.setClipPath(imagePath, Qt::IntersectClip);
        painter.drawImage(target, m_window.image);
    } else {
        const int size = 34;
        const QPixmap placeholder =
            Symbols::pixmap(QStringLiteral("photo"), size, Theme::white(0.2), devicePixelRatioF());
        painter.drawPixmap(QPointF(thumb.center().x() - size / 2.0, thumb.center().y() - size / 2.0),
                           placeholder);
    }
    painter.restore();

    // From an invisible edge the border fades in as cyan, widening from 1 to 2.
    QColor border = Color::neonCyan();
    border.setAlphaF(float(hover));
    painter.setPen(QPen(border, 1 + hover));
    painter.drawPath(outline);
}

} // namespace qv
