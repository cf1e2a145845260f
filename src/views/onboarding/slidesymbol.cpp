#include "views/onboarding/slidesymbol.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>

#include "ui/spring.h"
#include "ui/symbols.h"

namespace qv {

namespace {
// Room around the symbol for the bounce's overshoot and the glow.
constexpr int margin = 12;
constexpr double bounceFrom = 0.8;
constexpr double bounceResponse = 0.35;
constexpr double bounceDamping = 0.5;
} // namespace

SlideSymbol::SlideSymbol(Scheduler &scheduler, int pointSize, QWidget *parent)
    : QWidget(parent), m_pointSize(pointSize), m_bounce(scheduler)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SlideSymbol::setSymbol(const QString &symbolName, const QBrush &fill)
{
    m_symbolName = symbolName;
    m_fill = fill;
    update();
}

void SlideSymbol::setGlow(const QColor &color, double radius)
{
    auto *glow = new QGraphicsDropShadowEffect(this);
    glow->setColor(color);
    glow->setBlurRadius(radius * 2);
    glow->setOffset(0, 0);
    setGraphicsEffect(glow);
}

void SlideSymbol::bounce()
{
    m_bounce.start(bounceFrom, 1.0, springSettlingTime(bounceResponse, bounceDamping),
                   Animation::spring(bounceResponse, bounceDamping), [this](double scale) {
                       m_scale = scale;
                       update();
                   });
}

QSize SlideSymbol::sizeHint() const
{
    return QSize(m_pointSize + 2 * margin, m_pointSize + 2 * margin);
}

void SlideSymbol::paintEvent(QPaintEvent *)
{
    const double dpr = devicePixelRatioF();
    const QPixmap mask = Symbols::pixmap(m_symbolName, m_pointSize, Qt::white, dpr);
    QPixmap filled(mask.size());
    filled.setDevicePixelRatio(dpr);
    filled.fill(Qt::transparent);
    {
        QPainter painter(&filled);
        painter.drawPixmap(0, 0, mask);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        // Gradients are given in the 0..1 square of the symbol.
        painter.scale(m_pointSize, m_pointSize);
        painter.fillRect(QRectF(0, 0, 1, 1), m_fill);
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.scale(m_scale, m_scale);
    painter.drawPixmap(QPointF(-m_pointSize / 2.0, -m_pointSize / 2.0), filled);
}

} // namespace qv
