#pragma once

#include <QList>
#include <QString>

#include <functional>

#include "platform/feedback.h"

namespace qv {

// Records the feedback it is asked for: "haptic" and "sound", with the clock's time.
class SimFeedback final : public FeedbackService
{
public:
    struct Played
    {
        double time = 0;
        QString what;
        bool operator==(const Played &) const = default;
    };

    void performAlignmentHaptic() override { record(QStringLiteral("haptic")); }
    void playSnapSound() override { record(QStringLiteral("sound")); }
    bool hasHaptics() const override { return haptics; }

    void setClock(std::function<double()> clock) { m_clock = std::move(clock); }
    QList<Played> played() const { return m_played; }
    void clear() { m_played.clear(); }
    // Driver: whether the simulated desktop has a haptic trackpad.
    bool haptics = true;

private:
    void record(const QString &what) { m_played.append(Played{m_clock ? m_clock() : 0.0, what}); }

    std::function<double()> m_clock;
    QList<Played> m_played;
};

} // namespace qv
