#pragma once

#include <QHash>

#include "platform/application.h"

namespace qv {

// This application on X11. Dark appearance: the Fusion style (when widgets are in use) with a dark
// palette. Terminate: quits the event loop (on its next turn, so it also works from start-up code).
// Resign-active: Qt's application state leaving Active. Menu tracking: every QMenu of the
// application that is shown begins tracking and ends it when hidden (submenus included, each as its
// own pair). Main thread only; needs a QGuiApplication.
class X11Application final : public ApplicationService
{
    Q_OBJECT
public:
    explicit X11Application(QObject *parent = nullptr);

    void setDarkAppearance() override;
    void terminate() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void menuClosed(QObject *menu);

    bool m_active = false;
    QHash<QObject *, QMetaObject::Connection> m_openMenus;
};

} // namespace qv
