#pragma once

#include <QList>
#include <QStringList>

#include "core/applanguage.h"
#include "core/settingskeys.h"
#include "platform/globalinput.h"
#include "views/settings/settingspage.h"

namespace qv {

class SettingsStore;

// The Guide page: the built-in manual (the switcher and its keys, the clipboard history, the shelf,
// the module hotkeys, window snapping, diagnostics). Every text comes from the localisation table in
// the page's language except the keycaps, which name the keys the same way in every language. The
// three hotkeys are named as they are in force when the page is built (the settings window builds
// a page afresh each time its tab is chosen), in the shortcut pages' keycap words: in the key
// tables, and where the description names the switcher's. No state, no timers. Main thread.
class GuideSection : public SettingsPage
{
    Q_OBJECT
public:
    // One row of a key table: the keycap's text and the localisation key of what it does.
    struct ShortcutRow
    {
        QString keyLabel;
        const char *actionKey;
    };

    // The hotkeys the page names; the defaults unless read from the settings.
    struct Hotkeys
    {
        KeyCombination switcher{Settings::customKeyCode.defaultValue,
                                quint32(Settings::customFlags.defaultValue)};
        KeyCombination clipboard{Settings::clipboardKeyCode.defaultValue,
                                 quint32(Settings::clipboardFlags.defaultValue)};
        KeyCombination shelf{Settings::shelfKeyCode.defaultValue, quint32(Settings::shelfFlags.defaultValue)};
        static Hotkeys inForce(const SettingsStore &settings);
    };

    GuideSection(AppLanguage language, const SettingsStore &settings, QWidget *parent = nullptr);

    static QList<ShortcutRow> switcherRows(const Hotkeys &hotkeys);
    static QList<ShortcutRow> hotkeyRows(const Hotkeys &hotkeys);
    // Every localisation key the page shows, in page order.
    static QStringList textKeys();
};

} // namespace qv
