#pragma once

#include <QObject>

namespace qv {

// This application as the desktop sees it: its appearance, its menus and its active state.
// Main thread; signals are emitted on the main thread.
class ApplicationService : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setDarkAppearance() = 0;
    virtual void terminate() = 0;

signals:
    // Another application became active.
    void didResignActive();
    // A menu of this application (status menu, context menus) started or ended tracking.
    void menuDidBeginTracking();
    void menuDidEndTracking();
};

} // namespace qv
