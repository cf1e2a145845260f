#pragma once

#include <QList>

#include "core/settingskeys.h"
#include "platform/globalinput.h"

namespace qv {

class SettingsStore;

// Where a fired shortcut leads: the Super Panel routes "all", "clipboard" and "shelf".
enum class HotkeyRoute { none, all, clipboard, shelf };

// "all", "clipboard", "shelf"; empty for none.
const char *hotkeyRouteName(HotkeyRoute route);

// What the key-down path does with one key.
struct HotkeyDecision
{
    // The key reaches no application.
    bool consume = false;
    // The route to open; none when nothing fires (a latched repeat is consumed without firing).
    HotkeyRoute route = HotkeyRoute::none;
};

// The snapshot of the shortcut settings the key path reads, with the latch that keeps one held
// press from firing twice. Flags are always masked to keyModifierMask. A plain value: the Dock
// monitor keeps it under its own lock.
struct EventTapShortcutState
{
    // A shortcut recorder is listening: no shortcut matches and every key passes.
    bool isRecordingShortcut = false;
    bool isGlobalSwitcherEnabled = true;
    int targetKeyCode = Settings::customKeyCode.defaultValue;
    quint32 targetFlags = quint32(Settings::customFlags.defaultValue);
    // The clipboard and shelf shortcuts and the edge drag.
    bool enableModuleHotkeys = false;
    int clipboardKeyCode = Settings::clipboardKeyCode.defaultValue;
    quint32 clipboardFlags = quint32(Settings::clipboardFlags.defaultValue);
    int shelfKeyCode = Settings::shelfKeyCode.defaultValue;
    quint32 shelfFlags = quint32(Settings::shelfFlags.defaultValue);
    // The last fired shortcut's key (-1: none) and its key-down time, event clock nanoseconds.
    int latchedHotkeyKeyCode = -1;
    quint64 latchedHotkeyTimestamp = 0;

    // A second key-down of a fired shortcut this soon after it, without a key-up between, is taken
    // for the same press.
    static constexpr quint64 latchWindow = 220'000'000;

    // Decides a key-down (flags already masked) and moves the latch when a shortcut fires.
    // Module pairs win over the switcher; a switcher pair equal to a module pair never opens "all".
    HotkeyDecision matchKeyDown(int keyCode, quint32 flags, bool autorepeat, quint64 timestamp);
    // A key-up of the latched key ends the latch.
    void keyUp(int keyCode);

    // The settings part read from the store (the latch is not touched). Key codes and flags that
    // are not whole numbers, and negative flags, count as absent.
    void loadSettings(const SettingsStore &settings);
    // The combinations that can fire with these settings, each once, in matching order.
    QList<KeyCombination> activeCombinations() const;
};

} // namespace qv
