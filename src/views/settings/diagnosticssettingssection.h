#pragma once

#include "core/applanguage.h"
#include "views/settings/settingspage.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace qv {

class DiagnosticsManager;
class Scheduler;
class SettingsStore;

// The Diagnostics page: the switch of the event log, how many log files and buffered events there
// are while it is on, and the export of a diagnostics archive. The counts are read when the page
// shows and after each change of the switch, not otherwise. The export button rests for one second
// after a press, whatever the save dialog does meanwhile. Main thread.
class DiagnosticsSettingsSection : public SettingsPage
{
    Q_OBJECT
public:
    static constexpr double exportRestSeconds = 1.0;

    DiagnosticsSettingsSection(SettingsStore &settings, DiagnosticsManager &diagnostics, Scheduler &scheduler,
                               AppLanguage language, QWidget *parent = nullptr);

    void setDiagnosticsEnabled(bool enabled);
    void refreshStats();
    void exportDiagnostics();

    bool diagnosticsEnabled() const;
    int eventCount() const { return m_eventCount; }
    int logFileCount() const { return m_logFileCount; }
    bool isExporting() const { return m_isExporting; }
    bool countsShown() const;

private:
    void sync();

    SettingsStore &m_settings;
    DiagnosticsManager &m_diagnostics;
    Scheduler &m_scheduler;
    int m_eventCount = 0;
    int m_logFileCount = 0;
    bool m_isExporting = false;
    QCheckBox *m_switch = nullptr;
    QWidget *m_counts = nullptr;
    QLabel *m_logFilesValue = nullptr;
    QLabel *m_eventsValue = nullptr;
    QPushButton *m_export = nullptr;
};

} // namespace qv
