#pragma once

#include <QUrl>

#include <functional>

class QWidget;

namespace qv {

// Audio and video played in a widget through Qt Multimedia, which lives in the "quorvantis_media"
// module loaded at the first file played.
namespace MediaView {

// A widget under `parent` that plays `url` at once; `failed` runs with that widget when the file
// cannot be played. Null when the module cannot be loaded. Main thread.
QWidget *make(QWidget *parent, const QUrl &url, std::function<void(QWidget *)> failed);

using MakeFunction = QWidget *(*)(QWidget *parent, const QUrl &url, std::function<void(QWidget *)> failed);
inline constexpr char makeSymbol[] = "quorvantis_make_media_view";

} // namespace MediaView

} // namespace qv
