#pragma once

#include <QList>

#include "core/applanguage.h"
#include "views/bubble/cardactions.h"
#include "windows/appwindowmodel.h"

class QMenu;
class QWidget;

namespace qv {

// The one menu of window actions that every window card offers (the bubble's and the Super
// Panel's): the same entries in the same order with the same actions. The menu's actions neither
// close a panel nor change a selection. Main thread.
namespace WindowActionMenu {

struct Entry
{
    // Empty for a separator.
    const char *key = nullptr;
    const char *symbol = nullptr;
    bool enabled = true;
    bool destructive = false;
    // Runs the entry for the window the menu was made for.
    std::function<void()> run;

    bool isSeparator() const { return key == nullptr; }
};

// The entries for `window`; "Minimize" is disabled for a window that is already minimised.
QList<Entry> entries(const AppWindowModel &window, const CardActions &actions);

// A menu of those entries with labels in `language`; owned by `parent`. `actions` must outlive it.
QMenu *build(const AppWindowModel &window, const CardActions &actions, AppLanguage language, QWidget *parent);

} // namespace WindowActionMenu
} // namespace qv
