#include "platform/x11/x11desktop.h"

#include <xcb/xcb.h>

#include "platform/x11/x11accessibility.h"
#include "platform/x11/x11appactivation.h"
#include "platform/x11/x11appicons.h"
#include "platform/x11/x11application.h"
#include "platform/x11/x11connection.h"
#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11dockpreferences.h"
#include "platform/x11/x11docktilesource.h"
#include "platform/x11/x11dragendreport.h"
#include "platform/x11/x11dropreceiver.h"
#include "platform/x11/x11feedback.h"
#include "platform/x11/x11filedialogs.h"
#include "platform/x11/x11fileicons.h"
#include "platform/x11/x11filerevealer.h"
#include "platform/x11/x11globalinput.h"
#include "platform/x11/x11installation.h"
#include "platform/x11/x11localeservice.h"
#include "platform/x11/x11loginitem.h"
#include "platform/x11/x11panelwindows.h"
#include "platform/x11/x11pasteboard.h"
#include "platform/x11/x11permissions.h"
#include "platform/x11/x11screens.h"
#include "platform/x11/x11session.h"
#include "platform/x11/x11textrecognizer.h"
#include "platform/x11/x11thumbnailer.h"
#include "platform/x11/x11webfetcher.h"
#include "platform/x11/x11windowbounds.h"
#include "platform/x11/x11windowcapture.h"
#include "platform/x11/x11windowlist.h"
#include "platform/x11/x11workspace.h"

namespace qv {

struct X11Desktop::Private
{
    X11Connection connection;
    X11Session session;
    X11DesktopEntries entries;
    X11Screens screens{&connection};
    X11DockTileSource dockTiles{session, entries};
    X11Workspace workspace{connection, session, entries, &dockTiles};
    X11Accessibility accessibility{session, entries, &dockTiles};
    X11DockPreferences dockPreferences{&dockTiles};
    X11Permissions permissions{session, dockTiles};
    X11Application application;
    X11LoginItem loginItem;
    X11Installation installation;
    X11LocaleService locale;
    X11FileDialogs fileDialogs;
    X11FileRevealer fileRevealer;
    X11Pasteboard pasteboard;
    X11WindowList windowList{session, entries};
    X11WindowCapture windowCapture{session};
    X11AppIcons appIcons{session, entries};
    X11GlobalInput globalInput;
    X11FileIcons fileIcons;
    X11Thumbnailer thumbnails{fileIcons};
    X11WebFetcher web;
    X11TextRecognizer textRecognizer;
    X11DragEndReport dragEndReport;
    // Drops from other programs reach our drop targets with their data read off the main thread.
    X11DropReceiver dropReceiver;
    X11AppActivation activation{workspace};
    X11WindowBounds windowBounds{session};
    X11Feedback feedback;
    X11PanelWindows panelWindows{connection};
};

X11Desktop::X11Desktop() : d(std::make_unique<Private>())
{
    // A panel's window coming or going, or a task button's window, is a reason to read the panels;
    // so is a panel moved or resized, which changes the work area its struts leave.
    xcb_ewmh_connection_t *ewmh = d->connection.ewmh();
    QObject::connect(&d->connection, &X11Connection::rootPropertyChanged, &d->dockTiles,
                     [this, ewmh](quint32 atom) {
                         if (atom == ewmh->_NET_CLIENT_LIST || atom == ewmh->_NET_WORKAREA)
                             d->dockTiles.noteDesktopChange();
                     });
}
X11Desktop::~X11Desktop() = default;

bool X11Desktop::isAvailable()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool ok = connection && !xcb_connection_has_error(connection);
    if (connection)
        xcb_disconnect(connection);
    return ok;
}

Platform X11Desktop::platform()
{
    Platform p;
    p.screens = &d->screens;
    p.workspace = &d->workspace;
    p.accessibility = &d->accessibility;
    p.dockPreferences = &d->dockPreferences;
    p.permissions = &d->permissions;
    p.application = &d->application;
    p.loginItem = &d->loginItem;
    p.installation = &d->installation;
    p.locale = &d->locale;
    p.fileDialogs = &d->fileDialogs;
    p.fileRevealer = &d->fileRevealer;
    p.pasteboard = &d->pasteboard;
    p.windowList = &d->windowList;
    p.windowCapture = &d->windowCapture;
    p.appIcons = &d->appIcons;
    p.globalInput = &d->globalInput;
    p.thumbnails = &d->thumbnails;
    p.fileIcons = &d->fileIcons;
    p.web = &d->web;
    p.textRecognizer = &d->textRecognizer;
    p.dragEndReport = &d->dragEndReport;
    p.activation = &d->activation;
    p.windowBounds = &d->windowBounds;
    p.feedback = &d->feedback;
    p.panelWindows = &d->panelWindows;
    return p;
}

} // namespace qv
