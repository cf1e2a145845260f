#include "dock/eventtapshortcutstate.h"

#include <QVariant>

#include <climits>
#include <cmath>
#include <optional>

#include "core/settingskeys.h"
#include "core/settingsstore.h"

namespace qv {

namespace {

// A stored whole number, else none: text, Booleans and fractions are not key codes. Numbers read
// back from the settings file arrive as doubles.
std::optional<qint64> storedInteger(const SettingsStore &settings, const QString &key)
{
    const QVariant v = settings.value(key);
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return v.toLongLong();
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::abs(d) < 9.0e15)
            return qint64(d);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

int keyCodeSetting(const SettingsStore &settings, const SettingKey<int> &key)
{
    const auto v = storedInteger(settings, key.key());
    return v && *v >= INT_MIN && *v <= INT_MAX ? int(*v) : key.defaultValue;
}

// A negative bit set has every high bit on, which would make it Shift+Control+Option+Command;
// such a value is taken for a broken one and the default applies.
quint32 flagsSetting(const SettingsStore &settings, const SettingKey<int> &key)
{
    const auto v = storedInteger(settings, key.key());
    const qint64 flags = v && *v >= 0 ? *v : key.defaultValue;
    return quint32(flags) & keyModifierMask;
}

} // namespace

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
    // Only a stored Boolean switches the switcher off; anything else leaves it on.
    const QVariant switcher = settings.value(Settings::enableGlobalSwitcher.key());
    isGlobalSwitcherEnabled = switcher.typeId() == QMetaType::Bool ? switcher.toBool() : true;
    targetKeyCode = keyCodeSetting(settings, Settings::customKeyCode);
    targetFlags = flagsSetting(settings, Settings::customFlags);
    enableModuleHotkeys = settings.get(Settings::enableModuleHotkeys);
    clipboardKeyCode = keyCodeSetting(settings, Settings::clipboardKeyCode);
    clipboardFlags = flagsSetting(settings, Settings::clipboardFlags);
    shelfKeyCode = keyCodeSetting(settings, Settings::shelfKeyCode);
    shelfFlags = flagsSetting(settings, Settings::shelfFlags);
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
