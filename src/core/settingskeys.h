#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

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

// A number setting with the range its slider offers. Every reader clamps with clamp(): a stored
// value outside the range acts as the nearest end, and one that is not a finite number (only a
// hand-edited file holds one) as the default, so no reader turns NaN or infinity into anything.
struct RangedSettingKey : SettingKey<double>
{
    double minimum;
    double maximum;
    double clamp(double value) const
    {
        return std::isfinite(value) ? std::clamp(value, minimum, maximum) : defaultValue;
    }
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
inline const RangedSettingKey animationSpeed{{"animationSpeed", 0.5}, 0.1, 1.0};
inline const RangedSettingKey blurAmount{{"blurAmount", 25.0}, 0.0, 50.0};
inline const SettingKey<bool> glowEffect{"glowEffect", true};
// Seconds the Dock preview waits after the pointer settles on a tile; what the settings page shows
// is what the hover handler waits.
inline const RangedSettingKey hoverDelay{{"hoverDelay", 0.2}, 0.0, 1.0};
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
