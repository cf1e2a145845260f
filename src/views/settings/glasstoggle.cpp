#include "views/settings/glasstoggle.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "core/color.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "ui/spring.h"
#include "ui/theme.h"

namespace qv {

namespace {

constexpr int cardPadding = 12;
constexpr double labelPointSize = 14;
constexpr double minimumLabelScale = 0.6;
constexpr double springResponse = 0.3;
constexpr double springDamping = 0.7;

double restingOffset(bool on)
{
    return on ? GlassToggle::knobTravel : -GlassToggle::knobTravel;
}

} // namespace

GlassToggle::GlassToggle(const QString &label, bool on, Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_label(label), m_on(on), m_knobOffset(restingOffset(on)), m_knob(scheduler)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(label);
}

GlassToggle *GlassToggle::bound(SettingsStore &settings, const SettingKey<bool> &key, const QString &label,
                                Scheduler &scheduler, QWidget *parent, Reader read)
{
    const auto stored = [&settings, &key, read] { return read ? read(settings) : settings.get(key); };
    auto *toggle = new GlassToggle(label, stored(), scheduler, parent);
    const QString name = key.key();
    connect(toggle, &GlassToggle::toggled, toggle, [toggle, &settings, &key, stored](bool on) {
        // A flip that could not be saved was not made: the knob goes back to the stored value.
        if (!settings.set(key, on))
            toggle->setOn(stored());
    });
    connect(&settings, &SettingsStore::changed, toggle, [toggle, name, stored](const QString &changed) {
        if (changed == name)
            toggle->setOn(stored());
    });
    return toggle;
}

void GlassToggle::setOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    update();
    m_knob.start(m_knobOffset, restingOffset(on), springSettlingTime(springResponse, springDamping),
                 Animation::spring(springResponse, springDamping), [this](double offset) {
                     m_knobOffset = offset;
                     update();
                 });
}

QRectF GlassToggle::trackRect() const
{
    const double x = width() - cardPadding - trackSize.width();
    return QRectF(x, (height() - trackSize.height()) / 2.0, trackSize.width(), trackSize.height());
}

QSize GlassToggle::sizeHint() const
{
    const QFontMetrics metrics(Theme::systemFont(labelPointSize, QFont::Medium));
    return QSize(metrics.horizontalAdvance(m_label) + 3 * cardPadding + trackSize.width(),
                 qMax(metrics.height(), trackSize.height()) + 2 * cardPadding);
}

QSize GlassToggle::minimumSizeHint() const
{
    return QSize(trackSize.width() + 2 * cardPadding + 40, sizeHint().height());
}

void GlassToggle::paintGlassCard(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    painter.setOpacity(0.5);
    painter.fillPath(card, Theme::ultraThinMaterial(true));
    painter.setOpacity(1);
    QLinearGradient edge(rect.topLeft(), rect.bottomRight());
    edge.setColorAt(0, Theme::white(0.1));
    edge.setColorAt(1, Qt::transparent);
    painter.setPen(QPen(QBrush(edge), 1));
    painter.drawPath(card);
    painter.restore();
}

void GlassToggle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintGlassCard(painter, rect());

    // The label stays on one line, shrinking down to 60 % of its size before it is cut.
    const QRectF track = trackRect();
    const double room = track.left() - 2 * cardPadding;
    QFont font = Theme::systemFont(labelPointSize, QFont::Medium);
    const double natural = QFontMetricsF(font).horizontalAdvance(m_label);
    if (natural > room && natural > 0)
        font.setPixelSize(qMax(1, int(labelPointSize * qMax(minimumLabelScale, room / natural))));
    painter.setFont(font);
    painter.setPen(Theme::white(0.9));
    const QRectF labelRect(cardPadding, 0, room, height());
    painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(font).elidedText(m_label, Qt::ElideRight, int(room)));

    const QColor &cyan = Color::neonCyan();
    QColor fill = m_on ? cyan : QColor(Qt::black);
    fill.setAlphaF(0.2f);
    QColor stroke = m_on ? cyan : QColor(Qt::white);
    stroke.setAlphaF(m_on ? 0.5f : 0.1f);
    QPainterPath trackPath;
    trackPath.addRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    painter.fillPath(trackPath, fill);
    painter.setPen(QPen(stroke, 1));
    painter.drawPath(trackPath);

    const QPointF centre = track.center() + QPointF(m_knobOffset, 0);
    const double radius = knobDiameter / 2.0;
    // The knob's colour and glow travel with it on its spring (the track changes at once).
    const double lit = std::clamp((m_knobOffset + knobTravel) / (2 * knobTravel), 0.0, 1.0);
    if (lit > 0) {
        // A soft glow of radius 5 around the knob.
        QRadialGradient glow(centre, radius + 5);
        QColor inner = cyan;
        inner.setAlphaF(float(0.6 * lit));
        glow.setColorAt(radius / (radius + 5), inner);
        glow.setColorAt(1, Qt::transparent);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(centre, radius + 5, radius + 5);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::mixed(QColor(142, 142, 147), cyan, lit));
    painter.drawEllipse(centre, radius, radius);
}

void GlassToggle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !trackRect().contains(event->position())) {
        event->ignore(); // the window may be moved by its background
        return;
    }
    event->accept();
    setOn(!m_on);
    emit toggled(m_on);
}

} // namespace qv
