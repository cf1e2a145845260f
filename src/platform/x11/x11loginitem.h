#pragma once

#include <QString>

#include "platform/loginitem.h"

namespace qv {

// Start at login through an XDG autostart entry, "Quorvantis.desktop" in the autostart folder
// ($XDG_CONFIG_HOME/autostart). Enabled (status 1) while the entry exists and is not marked
// Hidden=true; registering writes the entry (Exec is this executable), unregistering removes it.
// Main thread.
class X11LoginItem final : public LoginItemService
{
public:
    // autostartDir empty: the user's XDG autostart folder.
    explicit X11LoginItem(const QString &autostartDir = QString());

    int status() const override;
    QString registerItem() override;
    QString unregisterItem() override;

    QString entryPath() const { return m_path; }

    // The Exec line's value for one program path, quoted and escaped as desktop entries require.
    static QString execValue(const QString &program);

private:
    QString m_path;
};

} // namespace qv
