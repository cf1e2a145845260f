#pragma once

#include <QPointF>

#include <functional>

#include "windows/appwindowmodel.h"
#include "windows/snapposition.h"

namespace qv {

// What a window card can ask for. The overlay controller fills what the window engine offers; an
// unset callback makes its gesture do nothing. Main thread.
struct CardActions
{
    using WindowAction = std::function<void(const AppWindowModel &)>;

    WindowAction focusWindow;
    WindowAction closeWindow;
    WindowAction minimizeWindow;
    WindowAction toggleFullScreen;
    std::function<void(const AppWindowModel &, SnapPosition)> snapWindow;
    WindowAction hideFromPreview;
    // A drag of the card: peeking starts with the first move, the pointer follows (its global
    // position, top-left coordinates), and the drag always ends.
    WindowAction startPeeking;
    std::function<void()> stopPeeking;
    std::function<void(const QPointF &screenPoint)> updateDrag;
    WindowAction endDrag;
    // The drag was abandoned without a release (the card was hidden or went with its window): it
    // ends without snapping.
    std::function<void()> cancelDrag;

    static void run(const WindowAction &action, const AppWindowModel &window)
    {
        if (action)
            action(window);
    }
};

} // namespace qv
