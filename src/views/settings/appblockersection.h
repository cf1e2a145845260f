#pragma once

#include <QImage>
#include <QList>
#include <QStringList>

#include <functional>

#include "core/applanguage.h"
#include "platform/appicons.h"
#include "views/settings/settingspage.h"

class QVBoxLayout;

namespace qv {

class SettingsStore;

// The App Blocker page: the applications whose windows the window engine never lists, kept in
// "ignoredApps" (identities joined by ","). The page holds no list of its own: it decodes the stored
// text whenever it draws, adds an application picked from the installed ones and removes single
// entries; the window engine applies a change at its next scan. Main thread.
class AppBlockerSection : public SettingsPage
{
    Q_OBJECT
public:
    // The installed applications for the chooser and their icons (null: the generic icon).
    struct Applications
    {
        std::function<QList<InstalledApplication>()> installed;
        std::function<QImage(const QString &identity)> icon;
    };

    AppBlockerSection(SettingsStore &settings, Applications applications, AppLanguage language,
                      QWidget *parent = nullptr);

    // The stored text split at ",", each piece trimmed of blanks and tabs, empty pieces dropped;
    // order and duplicates kept.
    static QStringList decode(const QString &stored);
    // What adding stores: the stored text untouched plus "," and the identity (the identity alone on
    // an empty text); the stored text itself when the identity is empty or already listed (exact case).
    static QString added(const QString &stored, const QString &identity);
    // What removing stores: the decoded entries other than `identity`, joined by ",".
    static QString removed(const QString &stored, const QString &identity);
    // The name a row shows: the installed application's name, else the identity's last "."-piece with
    // each word capitalised.
    static QString appName(const QString &identity, const QList<InstalledApplication> &installed);

    QStringList blockedApps() const;
    // The chooser's OK and a row's remove button.
    void addApp(const QString &identity);
    void removeApp(const QString &identity);
    // Runs the chooser of installed applications modally; OK adds the chosen one.
    void chooseApp();

private:
    void rebuildRows();

    SettingsStore &m_settings;
    Applications m_applications;
    AppLanguage m_language;
    QWidget *m_rows = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
};

} // namespace qv
