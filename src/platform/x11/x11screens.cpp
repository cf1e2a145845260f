#include "platform/x11/x11screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "platform/geometry.h"
#include "platform/x11/x11connection.h"

namespace qv {

namespace {

X11Screens::Layout currentLayout()
{
    QList<X11Screens::RootScreen> screens;
    qsizetype primary = -1;
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen == QGuiApplication::primaryScreen())
            primary = screens.size();
        screens.append({screen->geometry(), screen->availableGeometry()});
    }
    return X11Screens::layout(screens, primary);
}

} // namespace

X11Screens::Layout X11Screens::layout(const QList<RootScreen> &screens, qsizetype primary)
{
    if (primary < 0 || primary >= screens.size())
        return {};
    Layout result;
    // The bottom edge of the primary screen: the line that becomes y = 0, so the main screen's
    // frame starts at the origin.
    const QRect main = screens.at(primary).geometry;
    result.flipLine = double(main.y()) + main.height();
    auto info = [&](const RootScreen &screen) {
        return ScreenInfo{flipRect(QRectF(screen.geometry), result.flipLine),
                          flipRect(QRectF(screen.available), result.flipLine)};
    };
    result.screens.append(info(screens.at(primary)));
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (i != primary)
            result.screens.append(info(screens.at(i)));
    }
    return result;
}

X11Screens::X11Screens(X11Connection *connection, QObject *parent)
    : ScreenService(parent), m_connection(connection)
{
    if (m_connection)
        connect(m_connection, &X11Connection::pointerMoved, this, &ScreenService::pointerMoved);
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        emit screensChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenService::screensChanged);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenService::screensChanged);
}

void X11Screens::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &ScreenService::screensChanged);
    connect(screen, &QScreen::availableGeometryChanged, this, &ScreenService::screensChanged);
}

QList<ScreenInfo> X11Screens::screens() const
{
    return currentLayout().screens;
}

std::optional<ScreenInfo> X11Screens::mainScreen() const
{
    const QList<ScreenInfo> all = screens();
    return all.isEmpty() ? std::nullopt : std::optional<ScreenInfo>(all.first());
}

double X11Screens::flipHeight() const
{
    return currentLayout().flipLine;
}

bool X11Screens::setMotionWatch(bool on)
{
    return m_connection && m_connection->setRawMotion(on);
}

QPointF X11Screens::mouseLocation() const
{
    return flipPoint(QPointF(QCursor::pos()), flipHeight());
}

} // namespace qv
