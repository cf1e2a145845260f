#pragma once

#include <optional>

namespace qv {

// Decides when the accessibility walker listens to the panels' bounds changes. A panel reports the
// bounds of every button that moves or resizes, and a window that retitles itself many times a
// second resizes its task button as often: listened to all the time, that stream would cost in
// proportion to its rate while nobody looks at the panel. Buttons move when the layout changes (a
// button added or removed, a panel shown or hidden, an application coming or going) and settle
// shortly after, so bounds are listened to for `window` seconds after each change of layout and
// otherwise not; a retitle changes no layout. Whoever needs the buttons' places later walks the
// panels afresh (a hover on the panel does).
// Times are seconds on one monotonic clock. One thread.
class X11BoundsWatch
{
public:
    static constexpr double window = 3.0;

    // A change of layout at `now`: the watch opens, or stays open until `window` from now. True
    // when it was closed (the caller starts listening).
    bool noteLayoutChange(double now);
    // True when the watch closes at `now`, its window having passed (the caller stops listening).
    bool expire(double now);
    bool isOpen() const { return m_until.has_value(); }
    // When the watch closes unless a change of layout comes first; none while it is closed.
    std::optional<double> until() const { return m_until; }

private:
    std::optional<double> m_until;
};

} // namespace qv
