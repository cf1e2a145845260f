#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QStringList>

#include <functional>
#include <limits>
#include <memory>

#include "core/applanguage.h"
#include "platform/appicons.h"
#include "views/settings/settingspage.h"

class QListWidget;
class QScrollArea;
class QStringListModel;

namespace qv {

class LazyItemList;
class Scheduler;
class SettingsStore;
class WorkQueue;

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
    // The installed applications for the chooser and their icons (null: the generic icon). Both
    // read the desktop's files: with `reads` and `scheduler` set they are called on that queue and
    // the answer is posted back; without, on the main thread (tests).
    struct Applications
    {
        std::function<QList<InstalledApplication>()> installed;
        std::function<QImage(const QString &identity)> icon;
        std::shared_ptr<WorkQueue> reads = nullptr;
        Scheduler *scheduler = nullptr;
    };
    // An installed application with its icon, scaled for a row.
    struct Choice
    {
        InstalledApplication application;
        QImage icon;
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
    // Runs the chooser of installed applications modally; OK adds the chosen one. It opens with the
    // applications last read and reads them again meanwhile: what was installed since is offered
    // as soon as that read lands.
    void chooseApp();
    // A read of the installed applications is under way.
    bool isReadingApplications() const { return m_reading; }

private:
    // Reads the installed applications and their icons (off the main thread when a queue is given);
    // one read at a time, another one after it when asked meanwhile.
    void readApplications();
    void applyApplications(const QList<Choice> &choices);
    void fillChooser();
    void rebuildRows();
    QWidget *makeRow(int row, QWidget *parent);

    SettingsStore &m_settings;
    Applications m_applications;
    AppLanguage m_language;
    QList<InstalledApplication> m_installed;
    QList<Choice> m_choices;
    QHash<QString, QImage> m_icons;
    bool m_reading = false;
    bool m_readAgain = false;
    // Lets a read that lands after the page went find it gone.
    std::shared_ptr<AppBlockerSection *> m_self;
    QListWidget *m_chooserList = nullptr;
    QStringListModel *m_entries = nullptr;
    QWidget *m_emptyState = nullptr;
    QScrollArea *m_scroll = nullptr;
    LazyItemList *m_list = nullptr;
};

} // namespace qv
