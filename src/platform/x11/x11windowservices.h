#pragma once

#include "platform/appicons.h"
#include "platform/windowcapture.h"
#include "platform/windowlist.h"

namespace qv {

// Window listing, capture and icons are not read from the X server yet. Until they are, these
// answer as a desktop with no windows would: an empty list (a real answer, not a failure), no
// capture and no icon, so the window engine runs its ordinary paths and simply lists nothing.

class X11WindowList final : public WindowListService
{
public:
    void requestWindows(Completion done) override { done(QList<WindowInfo>()); }
};

class X11WindowCapture final : public WindowCaptureService
{
public:
    void captureWindow(quint32, const QSize &, Completion done) override { done(std::nullopt); }
    QImage fallbackImage(quint32) override { return QImage(); }
};

class X11AppIcons final : public AppIconService
{
public:
    QImage applicationIcon(qint64) override { return QImage(); }
    QImage iconForBundle(const QString &) override { return QImage(); }
};

} // namespace qv
