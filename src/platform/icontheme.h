#pragma once

#include <QImage>
#include <QString>

namespace qv {

// Makes the freedesktop icon theme usable for QIcon::fromTheme: the system's icon folders are
// searched, and where the platform names no theme (offscreen and minimal desktops) Adwaita serves.
// Once per process; main thread.
void ensureIconTheme();

// The theme's picture of a MIME type at `size` pixels: the type's own icon, else its generic one
// ("text-x-generic" for plain text); null when the theme has neither. Main thread.
QImage themeIconForMimeType(const QString &mimeName, int size);

} // namespace qv
