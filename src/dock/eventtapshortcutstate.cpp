#include "dock/eventtapshortcutstate.h"

#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/keyboardshortcut.h"

namespace qv {

const char *hotkeyRouteName(HotkeyRoute route)
{
    switch (route) {
    case HotkeyRoute::all:
        return "all";
    case HotkeyRoute::clipboard:
        return "clipboard";
    case HotkeyRoute::shelf:
        return "shelf";
    case HotkeyRoute::none:
        break;
    }
    return "";
}

HotkeyDecision EventTapShortcutState::matchKeyDown(int keyCode, quint32 flags, bool autorepeat,
                                                   quint64 timestamp)
{
    if (isRecordingShortcut || autorepeat)
        return {};
    HotkeyRoute route = HotkeyRoute::none;
    if (enableModuleHotkeys) {
        if (keyCode == clipboardKeyCode && flags == clipboardFlags)
            route = HotkeyRoute::clipboard;
        else if (keyCode == shelfKeyCode && flags == shelfFlags)
            route = HotkeyRoute::shelf;
    }
    if (route == HotkeyRoute::none) {
        if (!isGlobalSwitcherEnabled)
            return {};
        // Reaching here with module hotkeys on means the key is neither module pair, so a switcher
        // pair equal to one of them cannot match either.
        if (keyCode != targetKeyCode || flags != targetFlags)
            return {};
        route = HotkeyRoute::all;
    }
    if (latchedHotkeyKeyCode == keyCode && timestamp >= latchedHotkeyTimestamp &&
        timestamp - latchedHotkeyTimestamp < latchWindow)
        return {true, HotkeyRoute::none};
    latchedHotkeyKeyCode = keyCode;
    latchedHotkeyTimestamp = timestamp;
    return {true, route};
}

void EventTapShortcutState::keyUp(int keyCode)
{
    if (latchedHotkeyKeyCode == keyCode) {
        latchedHotkeyKeyCode = -1;
        latchedHotkeyTimestamp = 0;
    }
}

void EventTapShortcutState::loadSettings(const SettingsStore &settings)
{
    isRecordingShortcut = settings.get(Settings::isRecordingShortcut);
    isGlobalSwitcherEnabled = KeyboardShortcut::globalSwitcherEnabled(settings);
    const KeyCombination target = KeyboardShortcut::read(settings, KeyboardShortcut::switcherKeys());
    targetKeyCode = target.keyCode;
    targetFlags = target.flags;
    enableModuleHotkeys = settings.get(Settings::enableModuleHotkeys);
    const KeyCombination clipboard = KeyboardShortcut::read(settings, KeyboardShortcut::clipboardKeys());
    clipboardKeyCode = clipboard.keyCode;
    clipboardFlags = clipboard.flags;
    const KeyCombination shelf = KeyboardShortcut::read(settings, KeyboardShortcut::shelfKeys());
    shelfKeyCode = shelf.keyCode;
    shelfFlags = shelf.flags;
}

QList<KeyCombination> EventTapShortcutState::activeCombinations() const
{
    QList<KeyCombination> combinations;
    if (isRecordingShortcut)
        return combinations;
    const auto add = [&](const KeyCombination &c) {
        if (!combinations.contains(c))
            combinations.append(c);
    };
    if (enableModuleHotkeys) {
        add({clipboardKeyCode, clipboardFlags});
        add({shelfKeyCode, shelfFlags});
    }
    if (isGlobalSwitcherEnabled)
        add({targetKeyCode, targetFlags});
    return combinations;
}

} // namespace qv
