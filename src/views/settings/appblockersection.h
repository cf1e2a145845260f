#pragma once

#include <QImage>
#include <QList>
#include <QStringList>

#include <functional>
#include <limits>

#include "core/applanguage.h"
#include "platform/appicons.h"
#include "views/settings/settingspage.h"

class QScrollArea;
class QStringListModel;

namespace qv {

class LazyItemList;
class SettingsStore;

// The App Blocker page: the applications whose windows the window engine never lists, kept in
// "ignoredApps" (identities joined by ","). The page holds no list of its own: it decodes the stored
// text whenever it changes, adds an application picked from the installed ones and removes single
// entries; the window engine applies a change at its next scan. The stored text may be anything, so
// the page reads at most `maxEntries` entries, lays out at most `maxShownLength` characters of each,
// and builds rows only for the part of the list in view. Main thread.
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

    static constexpr int maxEntries = 5000;
    static constexpr int maxShownLength = 200;

    AppBlockerSection(SettingsStore &settings, Applications applications, AppLanguage language,
                      QWidget *parent = nullptr);
    ~AppBlockerSection() override;

    // The stored text split at ",", each piece trimmed of blanks and tabs, empty pieces dropped;
    // order and duplicates kept. Reading stops after `limit` entries.
    static QStringList decode(const QString &stored, int limit = std::numeric_limits<int>::max());
    // What adding stores: the stored text untouched plus "," and the identity (the identity alone on
    // an empty text); the stored text itself when the identity is empty or already listed (exact case).
    static QString added(const QString &stored, const QString &identity);
    // What removing stores: the decoded entries other than `identity`, joined by ",".
    static QString removed(const QString &stored, const QString &identity);
    // The name a row shows: the installed application's name, else the identity's last "."-piece with
    // each word capitalised.
    static QString appName(const QString &identity, const QList<InstalledApplication> &installed);

    // The first `maxEntries` entries, as the rows show them.
    QStringList blockedApps() const;
    // The rows built now (those in and near the view).
    QList<QWidget *> builtRows() const;
    // The chooser's OK and a row's remove button.
    void addApp(const QString &identity);
    void removeApp(const QString &identity);
    // Runs the chooser of installed applications modally; OK adds the chosen one.
    void chooseApp();

private:
    void rebuildRows();
    QWidget *makeRow(int row, QWidget *parent);

    SettingsStore &m_settings;
    Applications m_applications;
    AppLanguage m_language;
    QList<InstalledApplication> m_installed;
    QStringListModel *m_entries = nullptr;
    QWidget *m_emptyState = nullptr;
    QScrollArea *m_scroll = nullptr;
    LazyItemList *m_list = nullptr;
};

} // namespace qv
