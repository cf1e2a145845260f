#pragma once

namespace qv {

// The three permissions the program works with. Each probe answers the current state without
// asking the user. Main thread.
class PermissionProbe
{
public:
    virtual ~PermissionProbe() = default;
    // Window contents may be captured.
    virtual bool screenCapturePreflight() = 0;
    // Other applications' windows may be read and driven.
    virtual bool isAccessibilityTrusted() = 0;
    // A listen-only key-down tap can be created (it is torn down at once; nothing is delivered).
    virtual bool canListenToKeyEvents() = 0;
};

} // namespace qv
