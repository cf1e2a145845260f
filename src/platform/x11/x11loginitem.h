#pragma once

#include <QString>

#include "platform/loginitem.h"

namespace qv {

// Start at login through an XDG autostart entry, "Quorvantis.desktop" in the autostart folder
// ($XDG_CONFIG_HOME/autostart). Enabled (status 1) only while the entry starts this executable (an
// older copy's or a removed program's entry would silently fail at login) and is switched off neither
// by Hidden=true nor by X-GNOME-Autostart-enabled=false. Registering (re)writes the entry with Exec
// naming this executable, unregistering removes it. Main thread.
class X11LoginItem final : public LoginItemService
{
public:
    // autostartDir empty: the user's XDG autostart folder; program empty: this executable.
    explicit X11LoginItem(const QString &autostartDir = QString(), const QString &program = QString());

    int status() const override;
    QString registerItem() override;
    QString unregisterItem() override;

    QString entryPath() const { return m_path; }

    // The Exec line's value for one program path, quoted and escaped as desktop entries require.
    static QString execValue(const QString &program);
    // The program an Exec value starts (its first argument, unquoted); empty when there is none.
    static QString execProgram(const QString &exec);

private:
    QString m_path;
    QString m_program;
};

} // namespace qv
