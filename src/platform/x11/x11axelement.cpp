#include "platform/x11/x11axelement.h"

#include <QThread>

#include <cerrno>
#include <cmath>
#include <csignal>

#include <xcb/xcb_icccm.h>

#include "platform/x11/x11accessibility.h"
#include "platform/x11/x11clientreader.h"
#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11session.h"

namespace qv {

namespace {

// Requests on behalf of the user, as pagers and task lists send them; window managers honour
// these without their focus-stealing prevention.
constexpr uint32_t pagerSource = 2;
constexpr uint32_t stateRemove = 0;
constexpr uint32_t stateAdd = 1;
constexpr uint32_t stateToggle = 2;
// _NET_MOVERESIZE_WINDOW flags: NorthWestGravity (the position is the outer frame's top-left),
// which fields are set, and the source in bits 12-13.
constexpr uint32_t northWestGravity = 1;
constexpr uint32_t moveX = 1 << 8, moveY = 1 << 9, resizeWidth = 1 << 10, resizeHeight = 1 << 11;
// How long a move waits for the window manager to take a window out of maximised or full screen.
constexpr int restoreWaitMs = 500;
constexpr int restorePollMs = 5;

bool processExists(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

const QString role = QStringLiteral("AXRole");
const QString title = QStringLiteral("AXTitle");
const QString windowsAttr = QStringLiteral("AXWindows");
const QString children = QStringLiteral("AXChildren");
const QString focusedWindow = QStringLiteral("AXFocusedWindow");
const QString mainWindow = QStringLiteral("AXMainWindow");
const QString frontmost = QStringLiteral("AXFrontmost");
const QString windowId = QStringLiteral("CGWindowID");
const QString position = QStringLiteral("AXPosition");
const QString size = QStringLiteral("AXSize");
const QString minimized = QStringLiteral("AXMinimized");
const QString fullScreen = QStringLiteral("AXFullScreen");
const QString mainAttr = QStringLiteral("AXMain");
const QString focused = QStringLiteral("AXFocused");
const QString closeButton = QStringLiteral("AXCloseButton");
const QString minimizeButton = QStringLiteral("AXMinimizeButton");
const QString zoomButton = QStringLiteral("AXZoomButton");
const QString raise = QStringLiteral("AXRaise");
const QString press = QStringLiteral("AXPress");

} // namespace

X11AXElement::X11AXElement(X11Accessibility &service, Kind kind, qint64 pid, xcb_window_t window)
    : m_service(service), m_kind(kind), m_pid(pid), m_window(window)
{
}

std::optional<QList<X11Client>> X11AXElement::clients()
{
    X11ClientReader reader(m_service.session());
    const std::optional<QList<xcb_window_t>> stacking = reader.clientsFrontToBack();
    if (!stacking)
        return std::nullopt;
    QList<X11Client> own;
    for (const X11Client &client : reader.read(*stacking)) {
        if (client.pid == m_pid)
            own.append(client);
    }
    return own;
}

std::optional<X11Client> X11AXElement::client()
{
    return X11ClientReader(m_service.session()).readOne(m_window);
}

AXElementPtr X11AXElement::button(Kind kind)
{
    return std::make_shared<X11AXElement>(m_service, kind, m_pid, m_window);
}

AXResult X11AXElement::copyAttribute(const QString &name)
{
    if (!m_service.session().isValid())
        return {AXError::cannotComplete, {}};
    switch (m_kind) {
    case Kind::application:
        return applicationAttribute(name);
    case Kind::window:
        return windowAttribute(name);
    default:
        if (!client())
            return {AXError::invalidElement, {}};
        if (name == role)
            return {AXError::success, QStringLiteral("AXButton")};
        return {AXError::attributeUnsupported, {}};
    }
}

AXResult X11AXElement::applicationAttribute(const QString &name)
{
    const std::optional<QList<X11Client>> own = clients();
    if (!own)
        return {AXError::cannotComplete, {}};
    if (own->isEmpty() && !processExists(m_pid))
        return {AXError::invalidElement, {}};
    if (name == role)
        return {AXError::success, QStringLiteral("AXApplication")};
    if (name == title) {
        if (own->isEmpty())
            return {AXError::noValue, {}};
        return {AXError::success, m_service.entries().identify(own->first()).name};
    }
    if (name == windowsAttr || name == children) {
        QList<AXElementPtr> elements;
        for (const X11Client &c : std::as_const(*own))
            elements.append(m_service.windowElement(m_pid, c.window));
        return {AXError::success, elements};
    }
    const xcb_window_t active = X11ClientReader(m_service.session()).activeWindow();
    const auto isActive = [active](const X11Client &c) { return c.window == active; };
    const bool ownsActive = std::any_of(own->cbegin(), own->cend(), isActive);
    if (name == frontmost)
        return {AXError::success, ownsActive};
    if (name == focusedWindow || name == mainWindow) {
        if (ownsActive)
            return {AXError::success, AXElementPtr(m_service.windowElement(m_pid, active))};
        if (name == mainWindow && !own->isEmpty())
            return {AXError::success, AXElementPtr(m_service.windowElement(m_pid, own->first().window))};
        return {AXError::noValue, {}};
    }
    return {AXError::attributeUnsupported, {}};
}

AXResult X11AXElement::windowAttribute(const QString &name)
{
    const std::optional<X11Client> c = client();
    if (!c)
        return {AXError::invalidElement, {}};
    if (name == role)
        return {AXError::success, QStringLiteral("AXWindow")};
    if (name == title)
        return {AXError::success, c->title.value_or(QString())};
    if (name == windowId)
        return {AXError::success, double(m_window)};
    if (name == position)
        return {AXError::success, QPointF(c->frame.topLeft())};
    if (name == size)
        return {AXError::success, QSizeF(c->frame.size())};
    if (name == minimized)
        return {AXError::success, c->hidden};
    if (name == fullScreen)
        return {AXError::success, c->fullScreen};
    if (name == mainAttr || name == focused)
        return {AXError::success, X11ClientReader(m_service.session()).activeWindow() == m_window};
    if (name == closeButton)
        return {AXError::success, button(Kind::closeButton)};
    if (name == minimizeButton)
        return {AXError::success, button(Kind::minimizeButton)};
    if (name == zoomButton)
        return {AXError::success, button(Kind::zoomButton)};
    return {AXError::attributeUnsupported, {}};
}

int X11AXElement::setAttribute(const QString &name, const AXValue &value)
{
    if (!m_service.session().isValid())
        return AXError::cannotComplete;
    if (m_kind == Kind::application)
        return setApplicationAttribute(name, value);
    if (m_kind == Kind::window)
        return setWindowAttribute(name, value);
    return AXError::attributeUnsupported;
}

int X11AXElement::setApplicationAttribute(const QString &name, const AXValue &value)
{
    if (name == frontmost) {
        const bool *wanted = std::get_if<bool>(&value);
        if (!wanted)
            return AXError::illegalArgument;
        const std::optional<QList<X11Client>> own = clients();
        if (!own)
            return AXError::cannotComplete;
        if (own->isEmpty())
            return processExists(m_pid) ? AXError::cannotComplete : AXError::invalidElement;
        // There is no way to put an application behind the others; only bringing it forward counts.
        return *wanted ? activate(own->first().window) : AXError::success;
    }
    if (name == mainWindow || name == focusedWindow) {
        const AXElementPtr *element = std::get_if<AXElementPtr>(&value);
        const auto *window = element ? dynamic_cast<X11AXElement *>(element->get()) : nullptr;
        if (!window || window->kind() != Kind::window || window->pid() != m_pid)
            return AXError::illegalArgument;
        return activate(window->window());
    }
    return AXError::attributeUnsupported;
}

int X11AXElement::setWindowAttribute(const QString &name, const AXValue &value)
{
    const std::optional<X11Client> c = client();
    if (!c)
        return AXError::invalidElement;
    if (name == position) {
        const QPointF *point = std::get_if<QPointF>(&value);
        return point ? moveResize(*c, *point, std::nullopt) : AXError::illegalArgument;
    }
    if (name == size) {
        const QSizeF *wanted = std::get_if<QSizeF>(&value);
        return wanted ? moveResize(*c, std::nullopt, *wanted) : AXError::illegalArgument;
    }
    const bool *flag = std::get_if<bool>(&value);
    if (name == minimized) {
        if (!flag)
            return AXError::illegalArgument;
        return *flag ? minimize() : activate(m_window);
    }
    if (name == fullScreen) {
        if (!flag)
            return AXError::illegalArgument;
        return setFullScreen(*flag ? stateAdd : stateRemove);
    }
    if (name == mainAttr || name == focused) {
        if (!flag)
            return AXError::illegalArgument;
        return *flag ? activate(m_window) : AXError::success;
    }
    return AXError::attributeUnsupported;
}

int X11AXElement::performAction(const QString &name)
{
    if (!m_service.session().isValid())
        return AXError::cannotComplete;
    if (m_kind == Kind::application)
        return AXError::actionUnsupported;
    if (!client())
        return AXError::invalidElement;
    if (m_kind == Kind::window)
        return name == raise ? activate(m_window) : AXError::actionUnsupported;
    if (name != press)
        return AXError::actionUnsupported;
    switch (m_kind) {
    case Kind::closeButton:
        return close();
    case Kind::minimizeButton:
        return minimize();
    case Kind::zoomButton:
        return setFullScreen(stateToggle);
    default:
        return AXError::actionUnsupported;
    }
}

int X11AXElement::activate(xcb_window_t window)
{
    X11Session &session = m_service.session();
    xcb_ewmh_connection_t *ewmh = session.ewmh();
    if (session.windowManagerSupports(ewmh->_NET_ACTIVE_WINDOW)) {
        session.requestActivation(window);
        return AXError::success;
    }
    // No window manager to ask: map, raise and focus the window ourselves.
    xcb_connection_t *c = session.xcb();
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_map_window(c, window);
    xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, session.serverTime());
    xcb_flush(c);
    session.discardEvents();
    return AXError::success;
}

int X11AXElement::minimize()
{
    X11Session &session = m_service.session();
    session.sendToWindowManager(m_window, session.atom(X11Session::Atom::wmChangeState),
                                {XCB_ICCCM_WM_STATE_ICONIC, 0, 0, 0, 0});
    return AXError::success;
}

int X11AXElement::close()
{
    X11Session &session = m_service.session();
    xcb_ewmh_connection_t *ewmh = session.ewmh();
    if (session.windowManagerSupports(ewmh->_NET_CLOSE_WINDOW)) {
        session.sendToWindowManager(m_window, ewmh->_NET_CLOSE_WINDOW,
                                    {session.serverTime(), pagerSource, 0, 0, 0});
        return AXError::success;
    }
    // Without a window manager, ask the client itself the polite ICCCM way.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = m_window;
    event.type = ewmh->WM_PROTOCOLS;
    event.data.data32[0] = session.atom(X11Session::Atom::wmDeleteWindow);
    event.data.data32[1] = session.serverTime();
    xcb_send_event(session.xcb(), 0, m_window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(session.xcb());
    session.discardEvents();
    return AXError::success;
}

int X11AXElement::setFullScreen(uint32_t action)
{
    X11Session &session = m_service.session();
    xcb_ewmh_connection_t *ewmh = session.ewmh();
    session.sendToWindowManager(m_window, ewmh->_NET_WM_STATE,
                                {action, ewmh->_NET_WM_STATE_FULLSCREEN, 0, pagerSource, 0});
    return AXError::success;
}

std::optional<X11Client> X11AXElement::restoreFrame(const X11Client &c)
{
    X11Session &session = m_service.session();
    xcb_ewmh_connection_t *ewmh = session.ewmh();
    auto held = [ewmh](const X11Client &client) {
        return client.fullScreen || client.states.contains(ewmh->_NET_WM_STATE_MAXIMIZED_VERT) ||
               client.states.contains(ewmh->_NET_WM_STATE_MAXIMIZED_HORZ);
    };
    if (!held(c))
        return c;
    session.sendToWindowManager(m_window, ewmh->_NET_WM_STATE,
                                {stateRemove, ewmh->_NET_WM_STATE_MAXIMIZED_VERT,
                                 ewmh->_NET_WM_STATE_MAXIMIZED_HORZ, pagerSource, 0});
    if (c.fullScreen)
        session.sendToWindowManager(m_window, ewmh->_NET_WM_STATE,
                                    {stateRemove, ewmh->_NET_WM_STATE_FULLSCREEN, 0, pagerSource, 0});
    // A window manager ignores a new frame for a window it holds maximised; the move must wait until
    // the state is off, which takes it one turn of its own loop.
    for (int waited = 0; waited <= restoreWaitMs; waited += restorePollMs) {
        std::optional<X11Client> now = client();
        if (!now)
            return std::nullopt;
        if (!held(*now))
            return now;
        QThread::msleep(restorePollMs);
    }
    return std::nullopt;
}

int X11AXElement::moveResize(const X11Client &held, std::optional<QPointF> framePosition,
                             std::optional<QSizeF> frameSize)
{
    const std::optional<X11Client> restored = restoreFrame(held);
    if (!restored)
        return AXError::cannotComplete;
    const X11Client &c = *restored;
    // Frames far outside any screen or of absurd sizes are not ours to make.
    constexpr double limit = 32767;
    int32_t x = 0, y = 0;
    uint32_t width = 0, height = 0;
    if (framePosition) {
        if (!std::isfinite(framePosition->x()) || !std::isfinite(framePosition->y()) ||
            std::abs(framePosition->x()) > limit || std::abs(framePosition->y()) > limit)
            return AXError::illegalArgument;
        x = int32_t(std::lround(framePosition->x()));
        y = int32_t(std::lround(framePosition->y()));
    }
    if (frameSize) {
        if (!std::isfinite(frameSize->width()) || !std::isfinite(frameSize->height()) ||
            frameSize->width() > limit || frameSize->height() > limit)
            return AXError::illegalArgument;
        width = uint32_t(
            std::max<long>(1, std::lround(frameSize->width()) - c.extents.left() - c.extents.right()));
        height = uint32_t(
            std::max<long>(1, std::lround(frameSize->height()) - c.extents.top() - c.extents.bottom()));
    }
    X11Session &session = m_service.session();
    xcb_ewmh_connection_t *ewmh = session.ewmh();
    if (session.windowManagerSupports(ewmh->_NET_MOVERESIZE_WINDOW)) {
        const uint32_t flags = northWestGravity | (framePosition ? moveX | moveY : 0) |
                               (frameSize ? resizeWidth | resizeHeight : 0) | (pagerSource << 12);
        session.sendToWindowManager(m_window, ewmh->_NET_MOVERESIZE_WINDOW,
                                    {flags, uint32_t(x), uint32_t(y), width, height});
        return AXError::success;
    }
    // A configure request goes to the window manager too when one redirects them, else it applies.
    uint16_t mask = 0;
    uint32_t values[4];
    int n = 0;
    if (framePosition) {
        mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
        values[n++] = uint32_t(x);
        values[n++] = uint32_t(y);
    }
    if (frameSize) {
        mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
        values[n++] = width;
        values[n++] = height;
    }
    xcb_configure_window(session.xcb(), m_window, mask, values);
    xcb_flush(session.xcb());
    session.discardEvents();
    return AXError::success;
}

} // namespace qv
