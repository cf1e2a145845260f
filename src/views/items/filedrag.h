#pragma once

#include <QImage>
#include <QUrl>

class QMimeData;
class QWidget;

namespace qv {

// Dragging a shelf file out to other applications: the drag carries the file itself (a file URL),
// or nothing when the file is gone. Main thread.
namespace FileDrag {
// The data a drag of `url` hands over; empty (no URLs) when the file does not exist any more.
QMimeData *makeData(const QUrl &url);
// Runs the drag from `source` until it ends (the caller's own state may have changed by then).
void run(QWidget *source, const QUrl &url, const QImage &picture);
} // namespace FileDrag

} // namespace qv
