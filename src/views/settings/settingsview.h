#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "core/applanguage.h"
#include "dock/dockmonitor.h"
#include "platform/appicons.h"
#include "ui/animatedvalue.h"
#include "views/settings/settingstab.h"

class QAbstractButton;
class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace qv {

class DiagnosticsManager;
class PermissionProbe;
class Scheduler;
class SettingsPage;
class SettingsStore;
class WorkQueue;

// What the settings window's pages work with. Everything referenced outlives the window.
struct SettingsContext
{
    SettingsStore &settings;
    Scheduler &scheduler;
    PermissionProbe &permissions;
    // Carries the launch-at-login wish to the desktop.
    std::function<void(bool)> setLaunchAtLogin;
    // Knows which hotkeys another program holds; null before the start-up sequence made it.
    QPointer<DockMonitor> dockMonitor;
    // The Diagnostics page's log and export.
    DiagnosticsManager &diagnostics;
    // Hands a URL (mailto:, https:) to the desktop's handler for it.
    std::function<void(const QUrl &)> openURL;
    // The installed applications the App Blocker chooses from, and their icons.
    std::function<QList<InstalledApplication>()> installedApplications;
    std::function<QImage(const QString &identity)> applicationIcon;
    // Whether the desktop can give haptic feedback; without it the Appearance page has no haptic switch.
    bool hasHaptics = true;
    // Where the two above are called; none: on the main thread.
    std::shared_ptr<WorkQueue> applicationReads = nullptr;
};

// The content of the settings window, 750 points wide and cut to a rounded rectangle with a faint
// edge: the sidebar with the brand and one row per page (the rows scroll in a low window), and the
// scrolling page area with the selected page's title over the page. The page is built afresh
// whenever another tab is selected, and told before it goes; chosen in the sidebar, the new page
// fades in over the old one fading out, and the sidebar's light moves to its row, on a spring. Every label follows
// "appLanguage" at once, the backdrop's material follows "blurAmount". Dragging its background
// moves the window. Main thread.
class SettingsView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int contentWidth = 750;
    static constexpr int sidebarWidth = 200;

    explicit SettingsView(const SettingsContext &context, QWidget *parent = nullptr);
    ~SettingsView() override;

    SettingsTab selectedTab() const { return m_selectedTab; }
    // What a sidebar row does: builds the tab's page unless it is the one shown.
    void selectTab(SettingsTab tab);
    SettingsPage *page() const { return m_page; }
    AppLanguage language() const { return m_language; }

    // What a person sees: the sidebar's row titles in order, and the page header.
    QStringList sidebarTitles() const;
    QString headerTitle() const;
    // The line under the page that says a change could not be saved; empty while hidden.
    QString saveFailureText() const;
    QAbstractButton *sidebarButton(SettingsTab tab) const;
    double backdropBlurAmount() const { return m_blurAmount; }

    // Tells the page it goes; the window runs it when it closes.
    void closePage();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildPage();
    void applyLanguage();
    void followPageFade();

    SettingsContext m_context;
    SettingsTab m_selectedTab = SettingsTab::general;
    AppLanguage m_language;
    double m_blurAmount;
    QList<QAbstractButton *> m_sidebarButtons;
    QLabel *m_header = nullptr;
    QLabel *m_saveFailure = nullptr;
    QScrollArea *m_scroll = nullptr;
    QVBoxLayout *m_column = nullptr;
    SettingsPage *m_page = nullptr;
    bool m_rebuildPending = false;
    // How far the page chosen last has come in; the picture of the page it replaced fades out.
    AnimatedValue m_pageFade;
    QPointer<QLabel> m_leavingPage;
};

} // namespace qv
