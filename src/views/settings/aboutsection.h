#pragma once

#include <QUrl>

#include <functional>

#include "core/applanguage.h"
#include "views/settings/settingspage.h"

namespace qv {

class Scheduler;
class TeamOrbitView;

// The About page: the program's name, version and requirement, the support address, the web site and
// the team orbit. It writes no setting; the links go to the desktop's handlers. Main thread.
class AboutSection : public SettingsPage
{
    Q_OBJECT
public:
    // Placeholders of the project's own on a reserved domain.
    static QString supportAddress();
    static QUrl websiteURL();
    // "Version " and the build's version, or an en dash when the build names none.
    static QString versionText(const QString &version);

    AboutSection(AppLanguage language, Scheduler &scheduler, std::function<void(const QUrl &)> openURL,
                 QWidget *parent = nullptr);

    TeamOrbitView *orbit() const { return m_orbit; }

private:
    TeamOrbitView *m_orbit = nullptr;
};

} // namespace qv
