#pragma once

#include <QString>
#include <QVariant>

namespace qv {

// The Dock's own settings, read only: "autohide" (bool), "orientation" ("bottom", "left", "right"; a desktop
// panel may say "top"), "tilesize", "largesize" (numbers), "magnification" (bool). An absent key is an
// invalid QVariant. Safe from any thread.
class DockPreferences
{
public:
    virtual ~DockPreferences() = default;
    virtual QVariant value(const QString &key) const = 0;
};

} // namespace qv
