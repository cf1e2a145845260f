#include "views/superpanel/appsidebaritem.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "core/color.h"
#include "ui/scalefadeeffect.h"
#include "ui/symbols.h"
#include "ui/theme.h"

namespace qv {

namespace {

constexpr double hoverScale = 1.05;
constexpr double tileRadius = 14;
constexpr double symbolRadius = 12;
constexpr int captionGap = 6;
constexpr double springResponse = 0.3;
constexpr double springDamping = 0.7;

} // namespace

AppSidebarItem::AppSidebarItem(const QImage &icon, const QString &name, Scheduler &scheduler, QWidget *parent)
    : QAbstractButton(parent), m_icon(icon), m_name(name), m_hover(scheduler, 0, [this] { followHover(); })
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(name);
}

AppSidebarItem::~AppSidebarItem()
{
    delete m_caption;
    delete m_leavingCaption.data();
}

QSize AppSidebarItem::sizeHint() const
{
    // Room for the hover scale around the tile.
    return QSize(tileSize + 6, tileSize + 6);
}

void AppSidebarItem::setIcon(const QImage &icon)
{
    m_icon = icon;
    update();
}

void AppSidebarItem::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

void AppSidebarItem::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    setHovering(true);
}

void AppSidebarItem::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    setHovering(false);
}

void AppSidebarItem::hideEvent(QHideEvent *event)
{
    QAbstractButton::hideEvent(event);
    // Nothing plays unseen.
    m_hover.setValue(m_hover.target());
}

void AppSidebarItem::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    // Hidden, nothing plays: the look stands at rest.
    if (isVisible())
        m_hover.springTo(hovering ? 1 : 0, springResponse, springDamping);
    else
        m_hover.setValue(hovering ? 1 : 0);
    update();
    delete m_leavingCaption.data();
    if (!hovering) {
        // It fades out with the hover, and goes at the end.
        m_leavingCaption = m_caption;
        m_caption = nullptr;
        followHover();
        return;
    }
    // A child of the whole panel, so a long name shows in full beyond the column.
    QWidget *host = window();
    m_caption = new QLabel(m_name, host);
    m_caption->setObjectName(QStringLiteral("sidebarCaption"));
    m_caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_caption->setFont(Theme::systemFont(11));
    m_caption->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 204);"
                                            " border-radius: 6px; padding: 4px 8px; }"));
    m_caption->adjustSize();
    const QPointF below = mapTo(host, QPointF(width() / 2.0, tileRect().bottom() + captionGap));
    // Centred under the tile, but never past the panel's edge.
    const int x = std::clamp(int(below.x() - m_caption->width() / 2.0), 4,
                             std::max(4, host->width() - m_caption->width() - 4));
    m_caption->move(x, int(below.y()));
    m_caption->show();
    m_caption->raise();
    followHover();
}

void AppSidebarItem::followHover()
{
    update();
    const double opacity = m_hover.clamped();
    setScaleFade(m_caption, opacity);
    if (!m_leavingCaption)
        return;
    if (opacity <= 0 || !m_hover.isRunning())
        delete m_leavingCaption.data();
    else
        setScaleFade(m_leavingCaption, opacity);
}

QRectF AppSidebarItem::tileRect() const
{
    return QRectF((width() - tileSize) / 2.0, (height() - tileSize) / 2.0, tileSize, tileSize);
}

void AppSidebarItem::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF tile = tileRect();
    const double scale = 1 + (hoverScale - 1) * m_hover.value();
    if (scale != 1) {
        painter.translate(tile.center());
        painter.scale(scale, scale);
        painter.translate(-tile.center());
    }
    QPainterPath shape;
    shape.addRoundedRect(tile, tileRadius, tileRadius);
    // Selection wins over hover.
    if (m_selected)
        painter.fillPath(
            shape, QColor(Color::neonCyan().red(), Color::neonCyan().green(), Color::neonCyan().blue(), 51));
    else if (m_hover.clamped() > 0)
        painter.fillPath(shape, Theme::white(0.1 * m_hover.clamped()));

    const QRectF content = tile.adjusted(6, 6, -6, -6);
    if (!m_icon.isNull()) {
        painter.drawImage(content, m_icon);
    } else {
        QPainterPath face;
        face.addRoundedRect(content, symbolRadius, symbolRadius);
        painter.fillPath(face, Theme::white(0.1));
        const int size = 26;
        painter.drawPixmap(
            QPointF(content.center().x() - size / 2.0, content.center().y() - size / 2.0),
            Symbols::pixmap(QStringLiteral("square.grid.2x2.fill"), size, Qt::white, devicePixelRatioF()));
    }
    if (m_selected) {
        painter.setPen(QPen(Color::neonCyan(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }
}

} // namespace qv
