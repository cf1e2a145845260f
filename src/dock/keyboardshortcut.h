#pragma once

#include <QStringList>

#include <optional>

#include "platform/globalinput.h"

namespace qv {

class SettingsStore;
template <typename T> struct SettingKey;

// The one form a keyboard shortcut takes anywhere in the program: a classic Mac virtual key code
// (a key position, whatever the layout) and modifier flags holding only the bits of
// keyModifierMask. Stored as two integer settings; the recorders of the settings window write them,
// the hotkey matcher reads them, and both show them with the keycap texts below.
namespace KeyboardShortcut {

// The settings pair of one shortcut.
struct Keys
{
    const SettingKey<int> &keyCode;
    const SettingKey<int> &flags;
};

// The global switcher ("customKeyCode", "customFlags"), the clipboard and the shelf popups.
Keys switcherKeys();
Keys clipboardKeys();
Keys shelfKeys();

// Our own hotkeys, each with its settings pair.
enum class Hotkey { switcher, clipboard, shelf };
Keys keysOf(Hotkey hotkey);

// Which other hotkey of ours already fires on `shortcut` (its flags masked), were it recorded for
// `recording`: such a pair could never fire, since only one hotkey takes a key. The switcher counts
// while it is on; the module hotkeys count for the switcher while they are on, and for each other
// always, since they go on and off together. None when the combination is free.
std::optional<Hotkey> takenBy(const SettingsStore &settings, const KeyCombination &shortcut, Hotkey recording);

// A shortcut holds Ctrl, Alt or Super. Without one (a bare key, or Shift and a key) it would take
// that key, or its capital, from whatever the user types in every program.
bool holdsCommandModifier(const KeyCombination &shortcut);

// The stored pair as the matcher uses it and the pages show it. A key code or flags value that is
// absent or not a whole number reads as its default; so does a key code with no place on the
// keyboard, and flags that no key press carries (negative, or past the event's modifier bits: every
// high bit set would invent a shortcut nobody recorded). A pair without Ctrl, Alt or Super reads as
// the default pair. Flags come back masked.
KeyCombination read(const SettingsStore &settings, const Keys &keys);
// A stored pair that read() does not use as stored.
struct SetAside
{
    // The pair with its unusable halves read as their defaults, flags masked: what keycaps show.
    KeyCombination shortcut;
    // The values as stored: "customKeyCode=-5, customFlags=4294967295".
    QString stored;
    // Why: "no key of this keyboard", "no modifiers of a key press", "no Ctrl, Alt or Super"
    // (several joined by "; ").
    QString reason;
};
// Nothing when the stored pair (or nothing stored) is used as it is.
std::optional<SetAside> setAside(const SettingsStore &settings, const Keys &keys);
// Key code first, then flags, as the recorders write them.
void write(SettingsStore &settings, const Keys &keys, const KeyCombination &shortcut);

// The large keycaps of the Shortcuts page name key code 36 "Return", the small ones of the module
// recorders "⏎"; the two agree on every other key.
enum class KeycapSize { large, small };

// The name on a key's cap ("A", "Tab", "Space", "←"); "Key" for a code without one.
QString keyName(int keyCode, KeycapSize size);
// One text per cap: the held modifiers in the fixed order Ctrl, Alt, Shift, Super (however they
// were pressed), then the key's name. Bits outside keyModifierMask are ignored.
QStringList keycapParts(const KeyCombination &shortcut, KeycapSize size);
// The keycap texts for a sentence or a label, joined by `separator`: "Ctrl+Alt+K".
QString words(const KeyCombination &shortcut, const QString &separator);
// `text` with the default switcher shortcut it names ("Alt+Tab", "Alt + Tab") replaced by
// `switcher`, written the same way: what menus and guides show is the shortcut in force.
QString namingSwitcher(const QString &text, const KeyCombination &switcher);

// Whether the global switcher's hotkey is on: only a stored Boolean switches it off (text, numbers
// and nothing stored leave it on). The General page's switch and the hotkey both read this.
bool globalSwitcherEnabled(const SettingsStore &settings);

} // namespace KeyboardShortcut
} // namespace qv
