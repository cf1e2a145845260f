#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QUuid>
#include <QWidget>

#include <optional>

#include "runtime/scheduler.h"

namespace qv {

// One person on the About page's orbit. `image` names the avatar the project draws for them.
struct TeamMember
{
    QUuid id = QUuid::createUuid();
    QString name;
    QString image;
    QString role;
    QColor color;
};

// The orbit at the bottom of the About page: the members' avatars circle a centre label once every
// 25 seconds while the view is on screen; resting on an avatar enlarges it and shows the member's
// name and role in the centre. It starts from rotation 0 each time it appears and stops (rotation 0,
// nobody hovered) when it goes. It repaints on the scheduler only while turning. Main thread.
class TeamOrbitView : public QWidget
{
    Q_OBJECT
public:
    static constexpr double orbitRadius = 90;
    static constexpr double revolutionSeconds = 25;
    static constexpr int viewHeight = 240;

    // The fixed team: four placeholder members in the roles and colours of the ring's four places.
    static QList<TeamMember> defaultTeam();
    // Where avatar `index` sits, relative to the centre (y down): a growing rotation turns clockwise.
    static QPointF avatarOffset(int index, double rotation);

    TeamOrbitView(QList<TeamMember> team, Scheduler &scheduler, QWidget *parent = nullptr);
    ~TeamOrbitView() override;

    void startOrbit();
    void stopOrbit();
    // The pointer entered (true) or left (false) the avatar of `member`.
    void hoverChanged(bool hovering, const TeamMember &member);

    double rotation() const;
    bool isOrbitAnimating() const { return m_isOrbitAnimating; }
    std::optional<TeamMember> hoveredMember() const { return m_hoveredMember; }
    const QList<TeamMember> &team() const { return m_team; }
    // The avatar under a point of the view, if any (hovered avatars are larger).
    std::optional<int> avatarAt(QPointF point) const;

    QSize sizeHint() const override { return QSize(300, viewHeight); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void trackPointer(std::optional<QPointF> point);

    QList<TeamMember> m_team;
    Scheduler &m_scheduler;
    bool m_isOrbitAnimating = false;
    double m_startedAt = 0;
    std::optional<TeamMember> m_hoveredMember;
    std::optional<int> m_underPointer;
    TimerHandle m_frames;
};

} // namespace qv
