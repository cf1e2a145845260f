#include "views/settings/teamorbitview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "core/color.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/settings/settingswidgets.h"

namespace qv {

namespace {

constexpr double frameInterval = 1.0 / 30;

double avatarSize(bool hovered)
{
    // 64 when hovered, drawn 1.1 times larger.
    return hovered ? 64 * 1.1 : 48;
}

// The avatars are the project's own drawings: a gradient disc in the member's colour with a simple
// face, its features varied by the image name so each member looks different.
void paintAvatar(QPainter &painter, const TeamMember &member, const QRectF &frame)
{
    const uint seed = qHash(member.image);
    QPainterPath circle;
    circle.addEllipse(frame);
    painter.save();
    painter.setClipPath(circle);
    QLinearGradient fill(frame.topLeft(), frame.bottomRight());
    fill.setColorAt(0, member.color.lighter(140));
    fill.setColorAt(1, member.color.darker(220));
    painter.fillRect(frame, fill);
    const double unit = frame.width() / 48.0;
    const QPointF centre = frame.center();
    // Head and shoulders.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(centre + QPointF(0, -4 * unit), 10 * unit, 10 * unit);
    painter.drawEllipse(centre + QPointF(0, 22 * unit), 18 * unit, 14 * unit);
    painter.setBrush(member.color.darker(250));
    const double eyeY = -5 * unit;
    const double eyeGap = (3 + seed % 2) * unit;
    painter.drawEllipse(centre + QPointF(-eyeGap, eyeY), 1.6 * unit, 1.6 * unit);
    painter.drawEllipse(centre + QPointF(eyeGap, eyeY), 1.6 * unit, 1.6 * unit);
    QPen smile(member.color.darker(250), 1.2 * unit);
    smile.setCapStyle(Qt::RoundCap);
    painter.setPen(smile);
    painter.setBrush(Qt::NoBrush);
    const QRectF mouth(centre.x() - 4 * unit, centre.y() - 3 * unit, 8 * unit, 5 * unit);
    painter.drawArc(mouth, 200 * 16, 140 * 16);
    painter.restore();
}

} // namespace

QList<TeamMember> TeamOrbitView::defaultTeam()
{
    const auto member = [](const QString &name, const QString &role, const QColor &color) {
        TeamMember m;
        m.name = name;
        m.image = name.toLower();
        m.role = role;
        m.color = color;
        return m;
    };
    return {
        member(QStringLiteral("Avery"), QStringLiteral("Chief Bug Creator 👾"), Color::neonCyan()),
        member(QStringLiteral("Blake"), QStringLiteral("Vibe Manager 🍕"), Color::neonPurple()),
        member(QStringLiteral("Casey"), QStringLiteral("Code Whisperer ☕️"), Color::neonGreen()),
        member(QStringLiteral("Devon"), QStringLiteral("Chaos Coordinator 🌪️"), QColor(255, 149, 0))};
}

QPointF TeamOrbitView::avatarOffset(int index, double rotation)
{
    const double angle = (index * 90 + rotation) * M_PI / 180;
    return QPointF(orbitRadius * std::sin(angle), -orbitRadius * std::cos(angle));
}

TeamOrbitView::TeamOrbitView(QList<TeamMember> team, Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_team(std::move(team)), m_scheduler(scheduler)
{
    setFixedHeight(viewHeight);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
}

TeamOrbitView::~TeamOrbitView()
{
    m_frames.cancel();
}

double TeamOrbitView::rotation() const
{
    if (!m_isOrbitAnimating)
        return 0;
    const double turns = (m_scheduler.now() - m_startedAt) / revolutionSeconds;
    return 360 * (turns - std::floor(turns));
}

void TeamOrbitView::startOrbit()
{
    if (m_isOrbitAnimating)
        return;
    m_isOrbitAnimating = true;
    m_startedAt = m_scheduler.now();
    m_frames = m_scheduler.every(frameInterval, [this] {
        // The ring moves under a resting pointer too.
        trackPointer(underMouse() ? std::optional<QPointF>(mapFromGlobal(QCursor::pos())) : std::nullopt);
        update();
    });
    update();
}

void TeamOrbitView::stopOrbit()
{
    if (!m_isOrbitAnimating)
        return;
    m_isOrbitAnimating = false;
    m_frames.cancel();
    m_hoveredMember.reset();
    m_underPointer.reset();
    update();
}

void TeamOrbitView::hoverChanged(bool hovering, const TeamMember &member)
{
    if (hovering)
        m_hoveredMember = member;
    else if (m_hoveredMember && m_hoveredMember->id == member.id)
        m_hoveredMember.reset();
    update();
}

std::optional<int> TeamOrbitView::avatarAt(QPointF point) const
{
    const QPointF centre = QRectF(rect()).center();
    const double turn = rotation();
    // The topmost avatar wins: the later ones are drawn over the earlier ones.
    for (int i = int(m_team.size()) - 1; i >= 0; --i) {
        const bool hovered = m_hoveredMember && m_hoveredMember->id == m_team[i].id;
        const QPointF at = centre + avatarOffset(i, turn);
        const QPointF d = point - at;
        if (std::hypot(d.x(), d.y()) <= avatarSize(hovered) / 2)
            return i;
    }
    return std::nullopt;
}

void TeamOrbitView::trackPointer(std::optional<QPointF> point)
{
    const std::optional<int> now = point ? avatarAt(*point) : std::nullopt;
    if (now == m_underPointer)
        return;
    const std::optional<int> before = m_underPointer;
    m_underPointer = now;
    if (now)
        hoverChanged(true, m_team[*now]);
    if (before)
        hoverChanged(false, m_team[*before]);
}

void TeamOrbitView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const QRectF label(centre.x() - 70, centre.y() - 70, 140, 140);
    if (m_hoveredMember) {
        painter.setPen(m_hoveredMember->color);
        painter.setFont(Theme::systemFont(18, QFont::Bold));
        painter.drawText(label.adjusted(0, 0, 0, -label.height() / 2 - 2), Qt::AlignHCenter | Qt::AlignBottom,
                         m_hoveredMember->name);
        painter.setPen(Theme::white(0.8));
        painter.setFont(Theme::systemFont(12, QFont::Medium));
        painter.drawText(label.adjusted(0, label.height() / 2 + 2, 0, 0),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_hoveredMember->role);
    } else {
        const QPixmap sparkles = Symbols::pixmap(QStringLiteral("sparkles"), 24,
                                                 withAlpha(Color::neonCyan(), 0.8), devicePixelRatioF());
        painter.drawPixmap(QPointF(centre.x() - 12, centre.y() - 24 - 3), sparkles);
        painter.setPen(Theme::white(0.6));
        painter.setFont(Theme::systemFont(14, QFont::DemiBold));
        // The same words in every language.
        painter.drawText(QRectF(label.left(), centre.y() + 3, label.width(), 24),
                         Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Meet the Team"));
    }
    const double turn = rotation();
    for (int i = 0; i < m_team.size(); ++i) {
        const TeamMember &member = m_team[i];
        const bool hovered = m_hoveredMember && m_hoveredMember->id == member.id;
        const double size = avatarSize(hovered);
        const QPointF at = centre + avatarOffset(i, turn);
        const QRectF frame(at.x() - size / 2, at.y() - size / 2, size, size);
        if (hovered) {
            QRadialGradient glow(at, size / 2 + 10);
            glow.setColorAt(0.7, withAlpha(member.color, 0.6));
            glow.setColorAt(1, Qt::transparent);
            painter.setPen(Qt::NoPen);
            painter.setBrush(glow);
            painter.drawEllipse(at, size / 2 + 10, size / 2 + 10);
        }
        paintAvatar(painter, member, frame);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(hovered ? QPen(member.color, 2.5) : QPen(Theme::white(0.2), 1));
        painter.drawEllipse(frame);
    }
}

void TeamOrbitView::mouseMoveEvent(QMouseEvent *event)
{
    trackPointer(event->position());
    QWidget::mouseMoveEvent(event);
}

void TeamOrbitView::leaveEvent(QEvent *event)
{
    trackPointer(std::nullopt);
    QWidget::leaveEvent(event);
}

void TeamOrbitView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    startOrbit();
}

void TeamOrbitView::hideEvent(QHideEvent *event)
{
    stopOrbit();
    QWidget::hideEvent(event);
}

} // namespace qv
