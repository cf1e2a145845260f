#include "views/peek/peeklayout.h"

namespace qv::PeekLayout {

QList<ZoneTile> zoneTiles(const QSizeF &size)
{
    const double w = size.width();
    const double h = size.height();
    auto centred = [](double cx, double cy, double width, double height) {
        return QRectF(cx - width / 2, cy - height / 2, width, height);
    };
    return {
        {SnapPosition::left, "sidebar.left", centred(0.1 * w, 0.5 * h, 0.2 * w, 0.6 * h)},
        {SnapPosition::right, "sidebar.right", centred(0.9 * w, 0.5 * h, 0.2 * w, 0.6 * h)},
        {SnapPosition::maximize, "arrow.up.left.and.arrow.down.right",
         centred(0.5 * w, 0.1 * h, 0.4 * w, 0.2 * h)},
    };
}

QRectF peekCardRect(const QRectF &windowRect, bool minimized, const QSizeF &size,
                    const QList<ScreenInfo> &screens, const std::optional<ScreenInfo> &mainScreen,
                    const QPointF &mouse, double flipHeight)
{
    const double w = size.width();
    const double h = size.height();
    if (minimized) {
        const QSizeF box(0.7 * w, 0.7 * h);
        return QRectF(0.5 * w - box.width() / 2, 0.5 * h - box.height() / 2, box.width(), box.height());
    }
    std::optional<ScreenInfo> screen;
    for (const ScreenInfo &candidate : screens) {
        if (candidate.frame.contains(mouse)) {
            screen = candidate;
            break;
        }
    }
    if (!screen)
        screen = mainScreen;
    double cx = w / 2;
    double cy = h / 2;
    if (screen) {
        cx = windowRect.x() - screen->frame.left() + windowRect.width() / 2;
        // The overlay covering the screen starts at the screen's top, flipped into the windows'
        // coordinates with the same line as everything else (not the first screen's height, which
        // is another line when the main screen sits lower than a taller one beside it).
        if (!screens.isEmpty())
            cy = windowRect.y() - (flipHeight - screen->frame.bottom()) + windowRect.height() / 2;
    }
    return QRectF(cx - windowRect.width() / 2, cy - windowRect.height() / 2, windowRect.width(),
                  windowRect.height());
}

} // namespace qv::PeekLayout
