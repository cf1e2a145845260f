#include "platform/x11/x11screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "platform/geometry.h"
#include "platform/x11/x11connection.h"

namespace qv {

namespace {

// The bottom edge of the primary screen in Qt's top-left coordinates: the line that becomes y = 0,
// so the main screen's frame starts at the origin.
double flipLine()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return 0.0;
    const QRect g = primary->geometry();
    return double(g.y()) + g.height();
}

ScreenInfo infoOf(const QScreen *screen, double height)
{
    return ScreenInfo{flipRect(QRectF(screen->geometry()), height),
                      flipRect(QRectF(screen->availableGeometry()), height)};
}

} // namespace

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
    const double height = flipLine();
    QList<ScreenInfo> result;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        result.append(infoOf(primary, height));
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen != primary)
            result.append(infoOf(screen, height));
    }
    return result;
}

std::optional<ScreenInfo> X11Screens::mainScreen() const
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return std::nullopt;
    return infoOf(primary, flipLine());
}

bool X11Screens::setMotionWatch(bool on)
{
    return m_connection && m_connection->setRawMotion(on);
}

QPointF X11Screens::mouseLocation() const
{
    return flipPoint(QPointF(QCursor::pos()), flipLine());
}

} // namespace qv
