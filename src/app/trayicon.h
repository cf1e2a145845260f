#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "app/shellparts.h"
#include "core/applanguage.h"
#include "runtime/scheduler.h"
#include "ui/animation.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace qv {

class ClipboardManager;
class FileShelfManager;
class SettingsStore;

// The icon in the desktop's system tray (StatusNotifierItem where a watcher runs, the XEmbed tray
// otherwise; Qt picks) with its small menu, following "showMenuBarIcon" on every settings change and
// flashing a feedback symbol when the clipboard history captures something or a file lands on the
// shelf. Where the desktop has no tray the icon is still kept (it appears once a tray starts) and one
// log line says so. Main thread.
class TrayIcon : public QObject, public StatusItem
{
    Q_OBJECT
public:
    struct Actions
    {
        std::function<void()> restart;
        std::function<void()> quit;
        // Shows or hides the Super Panel.
        std::function<void()> showAllWindows;
        // Opens the settings window, or brings it to the front.
        std::function<void()> openPreferences;
    };

    static constexpr const char *defaultIconName = "circle.hexagongrid";
    static constexpr const char *captureSymbol = "checkmark.circle.fill";
    static constexpr const char *fileReceivedSymbol = "arrow.down.circle.fill";

    TrayIcon(SettingsStore &settings, Scheduler &scheduler, Actions actions, QObject *parent = nullptr);
    ~TrayIcon() override;

    // Creates the icon when "showMenuBarIcon" is on and starts following the setting. From then on
    // the keys the menu shows (Ctrl+, and Ctrl+Q) work in every window of ours and in the open menu.
    void setupStatusItem() override;
    // Flashes on every capture of the clipboard history and every file the shelf receives. Both must
    // outlive this object or be destroyed first (their connections go with them).
    void observeCaptures(ClipboardManager &clipboard, FileShelfManager &shelf);

    // Fades the icon to 0.3, swaps in `symbolName`, fades back, and 0.8 s later does the same with
    // the resting icon. A flash during a flash starts from the current opacity and replaces the
    // pending return. Nothing happens while the icon is hidden.
    void flashStatusIcon(const QString &symbolName);

    // A fresh menu in the stored language (English when none or an unknown one is stored).
    std::unique_ptr<QMenu> buildStatusMenu() const;
    // The desktop menu of the application: Preferences alone. Offered by the simulated desktop only.
    std::unique_ptr<QMenu> buildDockMenu() const;

    // Null while hidden.
    QSystemTrayIcon *statusItem() const { return m_statusItem.get(); }
    QMenu *statusMenu() const { return m_menu.get(); }
    QString shownSymbol() const { return m_symbol; }
    double iconOpacity() const { return m_opacity; }
    bool isResetPending() const { return m_iconResetTask.isActive(); }

protected:
    // Ctrl+, and Ctrl+Q, which the menu shows, in any window of ours and in the open menu.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectPreferences(QAction &preferences) const;
    void createStatusItem();
    void removeStatusItem();
    void followShowSetting();
    void menuNeedsUpdate();
    void setOpacity(double opacity);
    void renderIcon();
    AppLanguage menuLanguage() const;

    SettingsStore &m_settings;
    Scheduler &m_scheduler;
    Actions m_actions;
    std::unique_ptr<QMenu> m_menu; // outlives the item that shows it
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    QString m_symbol;
    double m_opacity = 1.0;
    int m_renderedOpacityStep = -1;
    Animation m_fade;
    TimerHandle m_iconResetTask;
    bool m_observing = false;
    bool m_reportedNoTray = false;
};

} // namespace qv
