#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "platform/keyflags.h"

namespace qv {

// One setting: its key as stored and the default every reader assumes while no value is stored.
// Only launchAtLogin and showMenuBarIcon are also registered; every other key stays absent until
// first written.
template <typename T>
struct SettingKey
{
    const char *name;
    T defaultValue;
    QString key() const { return QString::fromLatin1(name); }
};

namespace Settings {

// Modifier bits of stored shortcuts, as the input path reads them.
inline constexpr int ShiftFlag = int(keyShiftFlag);
inline constexpr int ControlFlag = int(keyControlFlag);
inline constexpr int OptionFlag = int(keyOptionFlag);
inline constexpr int CommandFlag = int(keyCommandFlag);
inline constexpr int ModifierMask = int(keyModifierMask);

inline const SettingKey<bool> launchAtLogin{"launchAtLogin", true};
inline const SettingKey<bool> showMenuBarIcon{"showMenuBarIcon", true};
inline const SettingKey<QString> appLanguage{"appLanguage", QStringLiteral("System Default")};
inline const SettingKey<bool> hasUserChosenAppLanguage{"hasUserChosenAppLanguage", false};
inline const SettingKey<bool> enableGlobalSwitcher{"enableGlobalSwitcher", true};
inline const SettingKey<bool> ignoreSingleWindow{"ignoreSingleWindow", false};
inline const SettingKey<bool> showOnlyCurrentSpace{"showOnlyCurrentSpace", false};
inline const SettingKey<bool> sortMinimizedLast{"sortMinimizedLast", false};
inline const SettingKey<bool> maskSensitiveClipboard{"maskSensitiveClipboard", true};
inline const SettingKey<double> animationSpeed{"animationSpeed", 0.5};
inline const SettingKey<double> blurAmount{"blurAmount", 25.0};
inline const SettingKey<bool> glowEffect{"glowEffect", true};
// The settings slider shows 0.2 while nothing is stored; the hover handler itself uses
// hoverDelayUnset and clamps stored values to 0...0.25.
inline const SettingKey<double> hoverDelay{"hoverDelay", 0.2};
inline constexpr double hoverDelayUnset = 0.02;
inline const SettingKey<bool> enablePeeking{"enablePeeking", true};
inline const SettingKey<bool> enableSnapHaptic{"enableSnapHaptic", true};
inline const SettingKey<bool> enableSnapSound{"enableSnapSound", false};
inline const SettingKey<bool> enableModuleHotkeys{"enableModuleHotkeys", false};
inline const SettingKey<int> clipboardKeyCode{"clipboardKeyCode", 8};
inline const SettingKey<int> clipboardFlags{"clipboardFlags", OptionFlag};
inline const SettingKey<int> shelfKeyCode{"shelfKeyCode", 1};
inline const SettingKey<int> shelfFlags{"shelfFlags", OptionFlag};
inline const SettingKey<int> customKeyCode{"customKeyCode", 48};
inline const SettingKey<int> customFlags{"customFlags", OptionFlag};
inline const SettingKey<bool> isRecordingShortcut{"isRecordingShortcut", false};
inline const SettingKey<QString> popupEdge{"popupEdge", QStringLiteral("bottom")};
inline const SettingKey<QString> ignoredApps{"ignoredApps", QString()};
inline const SettingKey<bool> diagnosticsEnabled{"diagnosticsEnabled", false};
inline const SettingKey<QVariantMap> appUsageHistory{"AppUsageHistory", QVariantMap()};

} // namespace Settings
} // namespace qv
