#pragma once

#include "platform/dockpreferences.h"

namespace qv {

// There is no Dock on X11 whose settings could be read: every key is absent (an invalid QVariant),
// which readers take as a bottom Dock that never hides. Safe from any thread.
class X11DockPreferences final : public DockPreferences
{
public:
    QVariant value(const QString &key) const override
    {
        Q_UNUSED(key);
        return {};
    }
};

} // namespace qv
