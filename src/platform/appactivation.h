#pragma once

#include <QtGlobal>

namespace qv {

// How an application is brought to the front. Flags, combined with |.
namespace ActivationOption {
inline constexpr int none = 0;
// Every window of the application comes forward, not only its frontmost one.
inline constexpr int allWindows = 1;
// The application comes forward even when the user is working in another one.
inline constexpr int ignoringOtherApps = 2;
} // namespace ActivationOption

// Bringing other applications forward for the window actions. Main thread only.
class AppActivation
{
public:
    virtual ~AppActivation() = default;
    // Brings the application forward with ActivationOption flags. False when it is not running.
    virtual bool activate(qint64 pid, int options) = 0;
    // Shows a hidden application again. False when it is not running or cannot be unhidden.
    virtual bool unhide(qint64 pid) = 0;
    // Makes the Dock the active application for a moment, so that activating the application that
    // was already frontmost brings its windows forward again. False (and nothing done) when there
    // is no Dock to hand focus to.
    virtual bool handFocusToDock() = 0;
};

} // namespace qv
