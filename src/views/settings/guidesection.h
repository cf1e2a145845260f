#pragma once

#include <QList>
#include <QStringList>

#include "core/applanguage.h"
#include "views/settings/settingspage.h"

namespace qv {

// The Guide page: the built-in manual (the switcher and its keys, the clipboard history, the shelf,
// the module hotkeys, window snapping, diagnostics). Every text comes from the localisation table in
// the page's language except the keycaps, which name the default keys the same way in every
// language and do not follow recorded shortcuts. No state, no timers. Main thread.
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

    explicit GuideSection(AppLanguage language, QWidget *parent = nullptr);

    static QList<ShortcutRow> switcherRows();
    static QList<ShortcutRow> hotkeyRows();
    // Every localisation key the page shows, in page order.
    static QStringList textKeys();
};

} // namespace qv
