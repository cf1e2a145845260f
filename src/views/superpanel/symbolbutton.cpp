#include "views/superpanel/symbolbutton.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "ui/symbols.h"
#include "ui/theme.h"

namespace qv {

SymbolButton::SymbolButton(const QString &symbol, int symbolSize, const QColor &color, int padding, Face face,
                           QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_symbolSize(symbolSize), m_color(color), m_face(face)
{
    const int side = symbolSize + 2 * padding + 2 * shadowMargin();
    setFixedSize(side, side);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

int SymbolButton::shadowMargin() const
{
    return int(std::ceil(m_face.shadowRadius));
}

QRectF SymbolButton::discRect() const
{
    const int margin = shadowMargin();
    return QRectF(rect()).adjusted(margin, margin, -margin, -margin);
}

QPixmap SymbolButton::discShadow()
{
    const double dpr = devicePixelRatioF();
    if (!m_shadow.isNull() && m_shadow.devicePixelRatio() == dpr)
        return m_shadow;
    const QSizeF disc = discRect().size();
    QPixmap shape(qRound(disc.width() * dpr), qRound(disc.height() * dpr));
    shape.setDevicePixelRatio(dpr);
    shape.fill(Qt::transparent);
    {
        QPainter painter(&shape);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(QRectF(QPointF(0, 0), disc));
    }
    m_shadow = Theme::shapeShadow(shape, Theme::black(0.33), m_face.shadowRadius);
    return m_shadow;
}

bool SymbolButton::hitButton(const QPoint &pos) const
{
    QPainterPath disc;
    disc.addEllipse(discRect());
    return disc.contains(QPointF(pos) + QPointF(0.5, 0.5));
}

void SymbolButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = discRect().adjusted(0.5, 0.5, -0.5, -0.5);
    switch (m_face.kind) {
    case Face::Kind::bare:
        break;
    case Face::Kind::filled:
        // The default shadow: black at a third, blurred evenly around the disc.
        if (m_face.shadowRadius > 0)
            painter.drawPixmap(discRect().topLeft() - QPointF(m_face.shadowRadius, m_face.shadowRadius),
                               discShadow());
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_face.fill);
        painter.drawEllipse(disc);
        break;
    case Face::Kind::frosted:
        painter.setBrush(Theme::ultraThinMaterial(true));
        painter.setPen(QPen(Theme::white(0.1), 1));
        painter.drawEllipse(disc);
        break;
    }
    const QPointF symbolAt = discRect().center() - QPointF(m_symbolSize / 2.0, m_symbolSize / 2.0);
    painter.drawPixmap(symbolAt, Symbols::pixmap(m_symbol, m_symbolSize, m_color, devicePixelRatioF()));
}

} // namespace qv
