#include "views/settings/settingstab.h"

#include "core/localization.h"

namespace qv {

QString rawValue(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("general");
    case SettingsTab::appearance:
        return QStringLiteral("appearance");
    case SettingsTab::guide:
        return QStringLiteral("guide");
    case SettingsTab::shortcuts:
        return QStringLiteral("shortcuts");
    case SettingsTab::blocker:
        return QStringLiteral("blocker");
    case SettingsTab::contact:
        return QStringLiteral("contact");
    case SettingsTab::about:
        return QStringLiteral("about");
    case SettingsTab::diagnostics:
        break;
    }
    return QStringLiteral("diagnostics");
}

QString symbolName(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("gear");
    case SettingsTab::appearance:
        return QStringLiteral("sparkles");
    case SettingsTab::guide:
        return QStringLiteral("keyboard");
    case SettingsTab::shortcuts:
        return QStringLiteral("command");
    case SettingsTab::blocker:
        return QStringLiteral("hand.raised.fill");
    case SettingsTab::contact:
        return QStringLiteral("envelope.fill");
    case SettingsTab::about:
        return QStringLiteral("person");
    case SettingsTab::diagnostics:
        break;
    }
    return QStringLiteral("stethoscope");
}

QString title(SettingsTab tab, AppLanguage language)
{
    return Localization::text(QString(QStringLiteral("tab_") + rawValue(tab)), language);
}

} // namespace qv
