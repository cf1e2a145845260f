#pragma once

#include "runtime/scheduler.h"
#include "views/settings/settingswidgets.h"

#include "core/applanguage.h"

namespace qv {

class PermissionProbe;
class SlideButton;

// The block at the top of the General page that says whether window capture and window control
// are available: one row each with a green "OK" badge, or, while missing, a red "Open Settings"
// button where the desktop has a settings page for it (on X11 there is none; the row's text says
// what the desktop needs instead and a red mark stands in for the button). It asks the probe once
// when built and then every second while it lives, so a change shows within a second; it never
// asks the user for a permission. Main thread.
class PermissionsSection : public CardFrame
{
    Q_OBJECT
public:
    static constexpr double pollInterval = 1.0;

    // The probe and the scheduler outlive the section.
    PermissionsSection(PermissionProbe &probe, Scheduler &scheduler, AppLanguage language,
                       QWidget *parent = nullptr);
    ~PermissionsSection() override;

    void checkPermissions();
    bool isScreenRecordGranted() const { return m_screenGranted; }
    bool isAccessibilityGranted() const { return m_accessibilityGranted; }

    // What a person sees of row 0 (screen recording) or 1 (accessibility).
    bool showsBadge(int row) const;
    SlideButton *openSettingsButton(int row) const;

private:
    struct Row
    {
        QWidget *badge = nullptr;
        QWidget *missingMark = nullptr;
        SlideButton *openSettings = nullptr;
    };
    Row makeRow(const QString &title, const QString &desc, const char *address);
    void showRow(Row &row, bool granted);

    PermissionProbe &m_probe;
    TimerHandle m_poll;
    Row m_rows[2];
    bool m_screenGranted = false;
    bool m_accessibilityGranted = false;
};

} // namespace qv
