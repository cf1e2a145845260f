#pragma once

#include <QHash>
#include <QMutex>
#include <QStringList>

#include <memory>

#include "platform/application.h"
#include "platform/dockpreferences.h"
#include "platform/loginitem.h"
#include "platform/panelwindows.h"
#include "platform/permissions.h"
#include "platform/platform.h"
#include "platform/screens.h"
#include "platform/sim/simaccessibility.h"
#include "platform/sim/simappactivation.h"
#include "platform/sim/simappicons.h"
#include "platform/sim/simfeedback.h"
#include "platform/sim/simfiledialogs.h"
#include "platform/sim/simfilerevealer.h"
#include "platform/sim/simglobalinput.h"
#include "platform/sim/siminstallation.h"
#include "platform/sim/simlocaleservice.h"
#include "platform/sim/simpasteboard.h"
#include "platform/sim/simshelfservices.h"
#include "platform/sim/simwindowserver.h"
#include "platform/workspace.h"

namespace qv {

class Scheduler;

class SimScreens final : public ScreenService
{
    Q_OBJECT
public:
    QList<ScreenInfo> screens() const override { return m_screens; }
    std::optional<ScreenInfo> mainScreen() const override;
    QPointF mouseLocation() const override { return m_mouse; }
    bool setMotionWatch(bool on) override
    {
        m_motionWatch = on && m_motionWatchAvailable;
        return m_motionWatchAvailable;
    }

    void setScreens(const QList<ScreenInfo> &screens);
    // Moves the pointer; pointerMoved() follows while the motion watch is on.
    void setMouseLocation(const QPointF &point);
    bool isMotionWatched() const { return m_motionWatch; }
    // A desktop that cannot report motion (an X server without XInput 2.1) refuses the watch from
    // then on; taking it away also ends a watch in force.
    void setMotionWatchAvailable(bool available)
    {
        m_motionWatchAvailable = available;
        m_motionWatch = m_motionWatch && available;
    }

private:
    QList<ScreenInfo> m_screens;
    QPointF m_mouse;
    bool m_motionWatch = false;
    bool m_motionWatchAvailable = true;
};

class SimWorkspace final : public WorkspaceService
{
    Q_OBJECT
public:
    QList<RunningApp> runningApplications() const override { return m_apps; }
    RunningApp frontmostApplication() const override;
    bool activate(qint64 pid) override;
    quint32 focusedWindow() const override { return m_focusedWindow; }
    bool activateWindow(quint32 windowId) override;
    void hideOtherApplications(qint64 keepPid) override;

    void refreshApplications() override;

    // Drivers; each emits the notification a real desktop would.
    qint64 launch(RunningApp app);
    // An application that runs, whose launch this list learns of only at its next read
    // (refreshApplications), as when the desktop's notification is still on its way.
    qint64 launchUnannounced(RunningApp app);
    // A terminated application takes its windows with it.
    void terminate(qint64 pid);
    // Windows that can have the keyboard; the newest of an application is its frontmost, and
    // activating the application gives it the keyboard.
    void openWindow(qint64 pid, quint32 windowId);
    void closeWindow(quint32 windowId);
    // The user clicks into a window: it and its application get the keyboard.
    void focusWindow(quint32 windowId);
    void setHidden(qint64 pid, bool hidden);
    void switchSpace() { emit activeSpaceChanged(); }
    void sleepScreens() { emit screensDidSleep(); }
    void wakeScreens() { emit screensDidWake(); }
    void sleepSystem() { emit willSleep(); }
    void wakeSystem() { emit didWake(); }
    QList<qint64> activationLog() const { return m_activations; }
    // The application kept by each hideOtherApplications(), in order.
    QList<qint64> hideOthersLog() const { return m_hideOthers; }

private:
    void setActive(qint64 pid);

    QList<RunningApp> m_apps;
    QList<RunningApp> m_unannounced;
    QList<qint64> m_activations;
    // Open windows in opening order with their application.
    QList<QPair<quint32, qint64>> m_windows;
    quint32 m_focusedWindow = 0;
    QList<qint64> m_hideOthers;
    qint64 m_nextPid = 1000;
};

class SimDockPreferences final : public DockPreferences
{
public:
    QVariant value(const QString &key) const override;
    void set(const QString &key, const QVariant &value);

private:
    mutable QMutex m_mutex;
    QHash<QString, QVariant> m_values;
};

class SimPermissions final : public PermissionProbe
{
public:
    bool screenCapturePreflight() override;
    bool isAccessibilityTrusted() override;
    bool canListenToKeyEvents() override;
    bool hasSettingsPages() const override { return true; }
    bool openSettingsPage(const QString &address) override;
    void requestScreenCapture() override { ++screenCaptureRequests; }

    bool screenCapture = true;
    bool accessibility = true;
    bool inputMonitoring = true;
    // Names of the probes in the order they were made.
    QStringList probes;
    // The settings pages opened, in order, and how often screen capture was asked for.
    QStringList openedSettingsPages;
    int screenCaptureRequests = 0;
    // The accessibility answer also drives the accessibility service when set.
    SimAccessibility *linkedAccessibility = nullptr;
};

class SimApplication final : public ApplicationService
{
    Q_OBJECT
public:
    void setDarkAppearance() override { darkAppearance = true; }
    void terminate() override { ++terminateCount; }

    void resignActive() { emit didResignActive(); }
    void beginMenu() { emit menuDidBeginTracking(); }
    void endMenu() { emit menuDidEndTracking(); }

    bool darkAppearance = false;
    int terminateCount = 0;
};

class SimLoginItem final : public LoginItemService
{
public:
    int status() const override { return m_status; }
    QString registerItem() override;
    QString unregisterItem() override;

    void setStatus(int status) { m_status = status; }
    // The next register/unregister fails with this description (empty: succeed).
    void failWith(const QString &error) { m_failure = error; }
    QStringList calls;

private:
    int m_status = 0;
    QString m_failure;
};

// Remembers how each panel was prepared and what blur it asked for; compositing is switched by the
// test.
class SimPanelWindows final : public PanelWindowService
{
    Q_OBJECT
public:
    void preparePanel(QWindow &window, PanelKind kind) override { prepared.insert(&window, kind); }
    void withdrawPanel(QWindow &) override {}
    bool isCompositing() const override { return m_compositing; }
    void setBlurBehind(QWindow &window, const QRegion &region) override { blurRegions.insert(&window, region); }
    void setClickCatcher(QWindow &window, bool active) override { catchers.insert(&window, active); }
    void setAside(QWindow &window, bool aside) override { asides.insert(&window, aside); }

    // A click beside the shape of `window`, caught while its catcher is active.
    void clickOutside(QWindow &window)
    {
        if (catchers.value(&window))
            emit clickedOutside(&window);
    }

    // Starts or stops the simulated compositing manager.
    void setCompositing(bool compositing)
    {
        if (compositing == m_compositing)
            return;
        m_compositing = compositing;
        emit compositingChanged(compositing);
    }

    QHash<const QWindow *, PanelKind> prepared;
    QHash<const QWindow *, QRegion> blurRegions;
    QHash<const QWindow *, bool> catchers;
    QHash<const QWindow *, bool> asides;

private:
    bool m_compositing = true;
};

// A whole simulated desktop: what tests build up and drive, and what `--platform=sim` runs on.
class SimDesktop
{
public:
    SimDesktop();
    ~SimDesktop();

    Platform platform();

    SimScreens screens;
    SimWorkspace workspace;
    SimAccessibility accessibility;
    SimDockPreferences dockPreferences;
    SimPermissions permissions;
    SimApplication application;
    SimLoginItem loginItem;
    SimInstallation installation;
    SimLocaleService locale;
    SimFileDialogs fileDialogs;
    SimFileRevealer fileRevealer;
    SimWindowServer windowServer{accessibility, workspace};
    SimAppIcons appIcons;
    SimPasteboard pasteboard;
    SimPanelWindows panelWindows;
    SimGlobalInput globalInput;
    SimThumbnailer thumbnails;
    SimFileIcons fileIcons;
    SimWebFetcher web;
    SimTextRecognizer textRecognizer;
    SimDragEndReport dragEndReport;
    SimAppActivation activation{workspace, windowServer};
    SimFeedback feedback;

    // Times the desktop's own animations with the scheduler and records every accessibility call,
    // activation and feedback with its time, so a test can check a whole timed script.
    void useScheduler(Scheduler &scheduler);

    // One 1440x900 main screen whose visible frame leaves a 25 pt menu bar and a 70 pt bottom Dock.
    void addDefaultScreen();
    // The Dock application with one "AXList" of tiles; returns the list element.
    std::shared_ptr<SimAXElement> dockList();
    // Adds a Dock tile with the given title and accessibility frame (top-left coordinates).
    std::shared_ptr<SimAXElement> addDockTile(const QString &title, const QRectF &axFrame);
    void clearDockTiles();
    qint64 dockPid() const { return m_dockPid; }

    // A small desktop for running the application by hand.
    void populateDemo();

private:
    qint64 m_dockPid = 0;
    std::shared_ptr<SimAXElement> m_dockList;
};

} // namespace qv
