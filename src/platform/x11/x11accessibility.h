#pragma once

#include "platform/accessibility.h"

namespace qv {

// Accessibility on X11. There is no per-process trust gate: any client may read and drive other
// clients' windows, so the process counts as trusted. Elements are X11AXElement (nothing to read
// yet). The Dock tile scan finds no Dock application among the running ones, so every scan fails
// at once and the tile list stays empty. Safe from any thread.
class X11Accessibility final : public AccessibilityService
{
public:
    bool isProcessTrusted() const override { return true; }
    AXElementPtr applicationElement(qint64 pid) override;
};

} // namespace qv
