#pragma once

#include <QAbstractNativeEventFilter>
#include <QHash>

#include "platform/application.h"

namespace qv {

// This application on X11. Dark appearance: the Fusion style (when widgets are in use) with a dark
// palette. Terminate: quits the event loop (on its next turn, so it also works from start-up code).
// Resign-active: Qt's application state leaving Active. Menu tracking: every QMenu of the
// application that is shown begins tracking and ends it when hidden (submenus included, each as its
// own pair). A window destroyed elsewhere: the server's DestroyNotify for a top-level window Qt still
// holds. The keyboard taken elsewhere: a FocusOut for a grab while one of our windows had the focus
// and no popup of ours (which grabs the keyboard itself) shows. Main thread only; needs a
// QGuiApplication.
class X11Application final : public ApplicationService, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit X11Application(QObject *parent = nullptr);
    ~X11Application() override;

    void setDarkAppearance() override;
    void terminate() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void menuClosed(QObject *menu);

    bool m_active = false;
    QHash<QObject *, QMetaObject::Connection> m_openMenus;
};

} // namespace qv
