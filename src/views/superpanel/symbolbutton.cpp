#include "views/superpanel/symbolbutton.h"

#include <QPainter>

#include "ui/symbols.h"
#include "ui/theme.h"

namespace qv {

SymbolButton::SymbolButton(const QString &symbol, int symbolSize, const QColor &color, int padding, Face face,
                           QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_symbolSize(symbolSize), m_color(color), m_face(face)
{
    setFixedSize(symbolSize + 2 * padding, symbolSize + 2 * padding);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void SymbolButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    int lift = 0;
    switch (m_face.kind) {
    case Face::Kind::bare:
        break;
    case Face::Kind::filled:
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::black(0.33));
        painter.drawEllipse(disc.adjusted(0, 1, 0, 1));
        painter.setBrush(m_face.fill);
        painter.drawEllipse(disc.adjusted(1, 0, -1, -2));
        lift = 1;
        break;
    case Face::Kind::frosted:
        painter.setBrush(Theme::ultraThinMaterial(true));
        painter.setPen(QPen(Theme::white(0.1), 1));
        painter.drawEllipse(disc);
        break;
    }
    painter.drawPixmap((width() - m_symbolSize) / 2, (height() - m_symbolSize) / 2 - lift,
                       Symbols::pixmap(m_symbol, m_symbolSize, m_color, devicePixelRatioF()));
}

} // namespace qv
