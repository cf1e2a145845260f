#pragma once

#include <QString>

#include <array>

#include "core/applanguage.h"

namespace qv {

// The pages of the settings window, in sidebar order.
enum class SettingsTab { general, appearance, guide, shortcuts, blocker, contact, about, diagnostics };

inline constexpr std::array<SettingsTab, 8> allSettingsTabs = {
    SettingsTab::general,  SettingsTab::appearance, SettingsTab::guide, SettingsTab::shortcuts,
    SettingsTab::blocker,  SettingsTab::contact,    SettingsTab::about, SettingsTab::diagnostics,
};

// "general", "appearance", ... : the case name.
QString rawValue(SettingsTab tab);
// The sidebar's symbol: "gear", "sparkles", "keyboard", "command", "hand.raised.fill",
// "envelope.fill", "person", "stethoscope".
QString symbolName(SettingsTab tab);
// The localised "tab_" + raw value: the sidebar row's and the page header's title.
QString title(SettingsTab tab, AppLanguage language);

} // namespace qv
