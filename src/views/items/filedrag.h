#pragma once

#include <QImage>
#include <QUrl>

#include <functional>

#include "shelf/shelfitem.h"

class QMimeData;
class QWidget;

namespace qv {

// Dragging a shelf file out to other applications: the drag carries the file itself (a file URL),
// or nothing when the file is gone. Main thread.
namespace FileDrag {
// The data a drag of `url` hands over; empty (no URLs) when the file does not exist any more.
QMimeData *makeData(const QUrl &url);
// The data a drag of a shelf item hands over: a link item offers its web address (as a URL list
// and as plain text), any other item its file as above.
QMimeData *makeData(const ShelfItem &item);
// Runs the drag of `data` from `source` until it ends; true when a target accepted the drop (the
// caller's own state may have changed by then). `leftTargets`, when given, is called once the drag
// moves over a part of the source's window that is neither a drop target of it nor the source
// itself, or leaves the window for another one: a window that covers the screen steps aside there,
// so the window below can take the drop.
bool run(QWidget *source, QMimeData *data, const QImage &picture, std::function<void()> leftTargets = {});
// How a view's drag runs when its host runs drags its own way (a panel that steps aside for them);
// true when a target took the drop.
using Run = std::function<bool(QWidget *source, QMimeData *data, const QImage &picture)>;
// Runs the drag through `host` when it is set, else as run() does.
bool runThrough(const Run &host, QWidget *source, QMimeData *data, const QImage &picture);
} // namespace FileDrag

} // namespace qv
