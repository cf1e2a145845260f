#include "views/superpanel/globalwindowcard.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

#include <functional>

#include "core/color.h"
#include "core/localization.h"
#include "ui/scalefadeeffect.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/bubble/windowactionmenu.h"
#include "views/superpanel/superpanelrules.h"
#include "views/superpanel/superpanelstate.h"
#include "views/superpanel/symbolbutton.h"

namespace qv {

namespace {

constexpr double chromePadding = 12;
constexpr double imagePadding = 10;
constexpr double iconSize = 36;
constexpr int eyeSize = 12 + 2 * 6;
constexpr double eyeShadowRadius = 4;
constexpr double selectedScale = 1.03;
constexpr double draggingScale = 1.05;
// The selection's look (outline, glow, scale, Return hint) and the hover's eye move on springs.
constexpr double selectionResponse = 0.25;
constexpr double hoverResponse = 0.3;
constexpr double springDamping = 0.7;
constexpr double badgeShadowRadius = 4;

QColor cyan(double opacity)
{
    return QColor::fromRgbF(0, 0.9f, 1, float(opacity));
}

// A picture of the card's size plus its margin, drawn once by `draw` (given the card's rectangle
// and its outline) and kept for every card of that size and selection: the outlines are clipped
// and filled once, not at every frame.
QPixmap cardPicture(const char *kind, const QSizeF &card, bool selected, double dpr,
                    const std::function<void(QPainter &, const QRectF &, const QPainterPath &)> &draw)
{
    const QString key = QStringLiteral("qv-card-%1-%2x%3-%4-%5")
                            .arg(QLatin1String(kind))
                            .arg(card.width())
                            .arg(card.height())
                            .arg(selected)
                            .arg(dpr);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    const int m = GlobalWindowCard::margin;
    pixmap = QPixmap((QSizeF(card.width() + 2 * m, card.height() + 2 * m) * dpr).toSize());
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF rect(m, m, card.width(), card.height());
    QPainterPath outline;
    outline.addRoundedRect(rect, GlobalWindowCard::cornerRadius, GlobalWindowCard::cornerRadius);
    draw(painter, rect, outline);
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

// The glow of a selected card, the soft shadow of any other: a few widening outlines fading out.
QPixmap halo(const QSizeF &card, bool selected, double dpr)
{
    return cardPicture(
        "halo", card, selected, dpr,
        [selected](QPainter &painter, const QRectF &rect, const QPainterPath &outline) {
            const double radius = GlobalWindowCard::cornerRadius;
            const QPointF offset(0, 5);
            const int rings = selected ? 5 : 3;
            for (int ring = rings; ring >= 1; --ring) {
                const double grow = ring * (selected ? 2.0 : 1.5);
                QPainterPath ringPath;
                ringPath.addRoundedRect(rect.translated(offset).adjusted(-grow, -grow, grow, grow),
                                        radius + grow, radius + grow);
                const double strength = (selected ? 0.3 : 0.2) * (1.0 - double(ring - 1) / rings) / 2;
                painter.fillPath(ringPath.subtracted(outline),
                                 selected ? cyan(strength) : Theme::black(strength));
            }
        });
}

// The card's glass, the thumbnail well, the information bar and the outline.
QPixmap chrome(const QSizeF &card, bool selected, double dpr)
{
    return cardPicture(
        "chrome", card, selected, dpr,
        [selected](QPainter &painter, const QRectF &rect, const QPainterPath &outline) {
            painter.save();
            painter.setClipPath(outline);
            painter.fillRect(rect, Theme::ultraThinMaterial(true));
            const QRectF thumb(rect.x(), rect.y(), rect.width(), SuperPanelRules::thumbnailHeight);
            painter.fillRect(thumb, Theme::white(0.03));
            painter.fillRect(thumb, Theme::black(0.2));
            const QRectF info(rect.x(), thumb.bottom(), rect.width(), rect.bottom() - thumb.bottom());
            painter.fillRect(info, selected ? cyan(0.15) : Theme::white(0.05));
            painter.restore();
            painter.setBrush(Qt::NoBrush);
            painter.setPen(selected ? QPen(cyan(1), 2) : QPen(Theme::white(0.08), 1));
            painter.drawPath(outline);
        });
}

} // namespace

GlobalWindowCard::GlobalWindowCard(const AppWindowModel &window, const SuperPanelActions &actions,
                                   Scheduler &scheduler, Callbacks callbacks, QWidget *parent)
    : QWidget(parent), m_window(window), m_actions(actions), m_callbacks(std::move(callbacks)),
      m_scale(scheduler, 1.0, [this] { update(); }), m_selection(scheduler, 0, [this] { update(); }),
      m_chrome(scheduler, 0, [this] { applyChromeOpacity(); })
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    m_eye = new SymbolButton(QStringLiteral("eye.fill"), 12, Qt::white, 6,
                             SymbolButton::Face::filled(Color::neonPurple(), eyeShadowRadius), this);
    connect(m_eye, &QAbstractButton::clicked, this, [this] {
        if (m_callbacks.onFocusAction)
            m_callbacks.onFocusAction();
    });
    setCardSize(QSize(int(SuperPanelRules::minCardWidth), int(SuperPanelRules::cardHeight)));
    setLanguage(m_language);
    applyChromeOpacity();
}

GlobalWindowCard::~GlobalWindowCard()
{
    abandonPress();
}

void GlobalWindowCard::abandonPress()
{
    m_pressed = false;
    if (!m_dragging)
        return;
    m_dragging = false;
    m_dragOffset = QPointF();
    m_scale.setValue(targetScale());
    if (m_callbacks.onDragStop)
        m_callbacks.onDragStop();
    if (m_actions.card.cancelDrag)
        m_actions.card.cancelDrag();
}

void GlobalWindowCard::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A hidden card (the panel closed, a search left it out) hears no release.
    abandonPress();
    setHovered(false);
    // Nothing moves unseen: a hidden card stands at rest.
    m_scale.setValue(targetScale());
    m_selection.setValue(m_selected ? 1 : 0);
    m_chrome.setValue(m_selected ? 1 : 0);
}

void GlobalWindowCard::setWindow(const AppWindowModel &window)
{
    m_window = window;
    update();
}

void GlobalWindowCard::setLanguage(AppLanguage language)
{
    m_language = language;
    m_eye->setToolTip(Localization::text(u"focus_mode_help", language));
}

void GlobalWindowCard::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    if (selected)
        raise(); // its glow and scale overlap the neighbours' margins
    if (isVisible())
        m_selection.springTo(selected ? 1 : 0, selectionResponse, springDamping);
    else
        m_selection.setValue(selected ? 1 : 0);
    updateChrome(selectionResponse);
    animateScale();
    update();
}

void GlobalWindowCard::animateScale()
{
    if (isVisible())
        m_scale.springTo(targetScale(), selectionResponse, springDamping);
    else
        m_scale.setValue(targetScale());
}

void GlobalWindowCard::setCardSize(const QSize &size)
{
    const QSize total(size.width() + 2 * margin, size.height() + 2 * margin);
    if (total == this->size())
        return;
    setFixedSize(total);
    m_eye->move(int(width() - margin - chromePadding - eyeSize) - m_eye->shadowMargin(),
                int(margin + chromePadding) - m_eye->shadowMargin());
}

QRect GlobalWindowCard::cardRect() const
{
    return rect().adjusted(margin, margin, -margin, -margin);
}

void GlobalWindowCard::setBasePosition(const QPoint &topLeft)
{
    m_base = topLeft;
    place();
}

void GlobalWindowCard::place()
{
    move(m_base - QPoint(margin, margin));
}

void GlobalWindowCard::setGhosted(bool ghosted)
{
    if (ghosted == m_ghosted)
        return;
    m_ghosted = ghosted;
    update();
}

double GlobalWindowCard::targetScale() const
{
    return m_dragging ? draggingScale : (m_selected ? selectedScale : 1.0);
}

void GlobalWindowCard::updateChrome(double response)
{
    const double target = (m_hovered || m_selected) ? 1 : 0;
    // A dragged card's picture follows the pointer without its eye.
    if (m_dragging || !isVisible())
        m_chrome.setValue(m_dragging ? 0 : target);
    else
        m_chrome.springTo(target, response, springDamping);
    applyChromeOpacity();
}

void GlobalWindowCard::applyChromeOpacity()
{
    // The eye takes clicks from the moment it starts to come in, and none once it starts to go.
    const double opacity = m_chrome.clamped();
    m_eye->setVisible(m_chrome.target() > 0 || opacity > 0);
    m_eye->setAttribute(Qt::WA_TransparentForMouseEvents, m_chrome.target() <= 0);
    setScaleFade(m_eye, opacity);
}

void GlobalWindowCard::setHovered(bool hovered)
{
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    updateChrome(hoverResponse);
    update();
    if (hovered && m_callbacks.onHover)
        m_callbacks.onHover();
}

void GlobalWindowCard::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (!m_pressed)
        setHovered(false);
}

void GlobalWindowCard::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !cardRect().contains(event->position().toPoint())) {
        event->ignore();
        return;
    }
    m_pressed = true;
    m_pressGlobal = event->globalPosition();
}

void GlobalWindowCard::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed) {
        setHovered(cardRect().contains(event->position().toPoint()));
        return;
    }
    const QPointF translation = event->globalPosition() - m_pressGlobal;
    if (!m_dragging) {
        if (!SuperPanelRules::startsDrag(translation))
            return;
        m_dragging = true;
        raise(); // passes over its neighbours
        updateChrome(selectionResponse);
        animateScale();
        CardActions::run(m_actions.card.startPeeking, m_window);
    }
    m_dragOffset = translation;
    if (m_callbacks.onDragMove)
        m_callbacks.onDragMove(translation);
    if (m_actions.updateDragAtPointer)
        m_actions.updateDragAtPointer();
}

void GlobalWindowCard::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        event->ignore();
        return;
    }
    m_pressed = false;
    if (!m_dragging) {
        if (cardRect().contains(event->position().toPoint()) && m_callbacks.onTap)
            m_callbacks.onTap();
        return;
    }
    const QPointF translation = event->globalPosition() - m_pressGlobal;
    m_dragging = false;
    m_dragOffset = QPointF();
    if (m_callbacks.onDragStop)
        m_callbacks.onDragStop();
    m_scale.setValue(targetScale());
    updateChrome(selectionResponse);
    update();
    CardActions::run(m_actions.card.endDrag, m_window);
    if (SuperPanelRules::releaseFocuses(translation)) {
        if (m_callbacks.onFocusAction)
            m_callbacks.onFocusAction();
    } else if (m_callbacks.onDragEnd) {
        m_callbacks.onDragEnd();
    }
}

QMenu *GlobalWindowCard::buildContextMenu(QWidget *parent) const
{
    return WindowActionMenu::build(m_window, m_actions.card, m_language, parent);
}

void GlobalWindowCard::contextMenuEvent(QContextMenuEvent *event)
{
    if (!cardRect().contains(event->pos())) {
        event->ignore();
        return;
    }
    QMenu *menu = buildContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

const QPixmap &GlobalWindowCard::thumbnail(const QRectF &area)
{
    // Scaled once per picture and size: painting a full-size snapshot at every frame would cost more
    // than the whole rest of the card.
    const double dpr = devicePixelRatioF();
    const QSizeF fitted = QSizeF(m_window.image.size()).scaled(area.size(), Qt::KeepAspectRatio);
    const QSize pixels = (fitted * dpr).toSize();
    if (m_thumbnailKey != m_window.image.cacheKey() || m_thumbnailSize != pixels) {
        m_thumbnailKey = m_window.image.cacheKey();
        m_thumbnailSize = pixels;
        m_thumbnail = QPixmap::fromImage(
            m_window.image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_thumbnail.setDevicePixelRatio(dpr);
    }
    return m_thumbnail;
}

const QPixmap &GlobalWindowCard::iconPixmap()
{
    const double dpr = devicePixelRatioF();
    if (m_iconKey != m_window.appIcon.cacheKey() || m_icon.devicePixelRatio() != dpr) {
        m_iconKey = m_window.appIcon.cacheKey();
        const int side = qRound(iconSize * dpr);
        m_icon = QPixmap::fromImage(
            m_window.appIcon.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_icon.setDevicePixelRatio(dpr);
        m_iconShadow = Theme::shapeShadow(m_icon, Theme::black(0.3), badgeShadowRadius);
    }
    return m_icon;
}

void GlobalWindowCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_ghosted)
        painter.setOpacity(0.25);
    const QRectF card(cardRect());
    const double scale = m_scale.value();
    painter.translate(card.center());
    painter.scale(scale, scale);
    painter.translate(-card.center());
    if (scale != 1.0)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const double dpr = devicePixelRatioF();
    const QPointF origin(card.x() - margin, card.y() - margin);
    // The selected look comes and goes over the other: glow over shadow, cyan over the faint edge.
    const double selection = m_selection.clamped();
    const double opacity = painter.opacity();
    for (const bool selected : {false, true}) {
        const double share = selected ? selection : 1 - selection;
        if (share <= 0)
            continue;
        painter.setOpacity(opacity * share);
        painter.drawPixmap(origin, halo(card.size(), selected, dpr));
        painter.drawPixmap(origin, chrome(card.size(), selected, dpr));
    }
    painter.setOpacity(opacity);

    const QRectF thumb(card.x(), card.y(), card.width(), SuperPanelRules::thumbnailHeight);
    if (!m_window.image.isNull()) {
        const QRectF area = thumb.adjusted(imagePadding, imagePadding, -imagePadding, -imagePadding);
        const QPixmap &picture = thumbnail(area);
        const QSizeF size = QSizeF(picture.size()) / picture.devicePixelRatio();
        painter.drawPixmap(
            QPointF(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2), picture);
    } else {
        const int size = 40;
        painter.drawPixmap(QPointF(thumb.center().x() - size / 2.0, thumb.center().y() - size / 2.0),
                           Symbols::pixmap(QStringLiteral("macwindow"), size, Theme::white(0.1), dpr));
    }
    if (!m_window.appIcon.isNull()) {
        const QPointF icon(thumb.x() + chromePadding, thumb.bottom() - chromePadding - iconSize);
        const QPixmap &picture = iconPixmap();
        const QSizeF size = QSizeF(picture.size()) / picture.devicePixelRatio();
        const QPointF at = icon + QPointF((iconSize - size.width()) / 2, (iconSize - size.height()) / 2);
        // Its shadow falls 2 below it.
        painter.drawPixmap(at + QPointF(-badgeShadowRadius, 2 - badgeShadowRadius), m_iconShadow);
        painter.drawPixmap(at, picture);
    }

    const QRectF info(card.x(), thumb.bottom(), card.width(), card.bottom() - thumb.bottom());
    const double hintWidth = m_selected ? 12 + 8 : 0;
    const QRectF text =
        info.adjusted(chromePadding, chromePadding, -chromePadding - hintWidth, -chromePadding);
    static const QFont nameFont = Theme::systemFont(13, QFont::DemiBold);
    static const QFont titleFont = Theme::systemFont(11);
    static const QFontMetricsF nameMetrics(nameFont);
    static const QFontMetricsF titleMetrics(titleFont);
    const double block = nameMetrics.height() + 4 + titleMetrics.height();
    const double top = info.center().y() - block / 2;
    painter.setFont(nameFont);
    painter.setPen(Theme::white(0.95));
    painter.drawText(QRectF(text.x(), top, text.width(), nameMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     nameMetrics.elidedText(m_window.appName, Qt::ElideRight, text.width()));
    painter.setFont(titleFont);
    painter.setPen(Theme::white(0.5));
    painter.drawText(QRectF(text.x(), top + nameMetrics.height() + 4, text.width(), titleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     titleMetrics.elidedText(m_window.title, Qt::ElideRight, text.width()));
    if (m_selected || selection > 0) {
        const int size = 12;
        painter.setOpacity(opacity * selection);
        painter.drawPixmap(QPointF(info.right() - chromePadding - size, info.center().y() - size / 2.0),
                           Symbols::pixmap(QStringLiteral("return"), size, cyan(1), dpr));
    }
}

} // namespace qv
