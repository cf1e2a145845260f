#pragma once

#include <functional>

#include "core/applanguage.h"
#include "views/settings/settingspage.h"

class QAbstractButton;
class QMenu;

namespace qv {

class GlassToggle;
class PermissionProbe;
class PermissionsSection;
class Scheduler;
class SettingsStore;

// The General page: the permission block, the switches for start-up, the tray icon, the global
// switcher, which windows the lists show and how they are ordered, clipboard masking, and the
// interface language. Every switch writes its setting at once. Turning launch at login on or off
// (here or anywhere while the page shows) asks the desktop to follow, after the value is stored;
// choosing a language other than the one shown records that the user chose one. Opening the page
// writes nothing. Main thread.
class GeneralSettingsSection : public SettingsPage
{
    Q_OBJECT
public:
    // Everything handed in outlives the page.
    GeneralSettingsSection(SettingsStore &settings, Scheduler &scheduler, PermissionProbe &probe,
                           AppLanguage language, std::function<void(bool)> setLaunchAtLogin,
                           QWidget *parent = nullptr);

    // What the language menu does with a choice.
    void chooseLanguage(AppLanguage language);

    PermissionsSection *permissionsSection() const { return m_permissions; }
    QList<GlassToggle *> toggles() const { return m_toggles; }
    QAbstractButton *languageButton() const { return m_languageButton; }
    // A fresh menu of the nine languages, the stored one checked.
    std::unique_ptr<QMenu> languageMenu();

private:
    SettingsStore &m_settings;
    PermissionsSection *m_permissions = nullptr;
    QList<GlassToggle *> m_toggles;
    QAbstractButton *m_languageButton = nullptr;
};

} // namespace qv
