#pragma once

#include <QObject>
#include <QPointer>

#include "views/settings/settingsview.h"

class QWindow;

namespace qv {

// Owns the one settings window. Asking for the settings while the window is open brings it to the
// front as it is (size, place, page); asking after it was closed builds a new one, centred, on the
// General page. The window is an ordinary application window: in the task list, taking focus, not
// kept above others, without a minimise button, 750 points wide and at least 600 high. Closing it
// tells its page, then drops it. Main thread.
class SettingsWindowManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int windowHeight = 820;
    static constexpr int minimumHeight = 600;

    explicit SettingsWindowManager(const SettingsContext &context, QObject *parent = nullptr);
    ~SettingsWindowManager() override;

    void showSettings();
    // Null while no window is open.
    SettingsView *settingsWindow() const { return m_window.data(); }
    // Another program destroyed `window` (an XDestroyWindow): when it is the settings window, nothing
    // shows it any more and no request reaches it. It is closed as by its close button, and the
    // next showSettings() builds a new one.
    void windowDestroyedElsewhere(QWindow *window);
    // The monitor the Shortcuts page asks about refused hotkeys; it is made after this manager.
    void setDockMonitor(DockMonitor *monitor) { m_context.dockMonitor = monitor; }

private:
    SettingsContext m_context;
    QPointer<SettingsView> m_window;
};

} // namespace qv
