#pragma once

#include <QImage>
#include <QString>

namespace qv {

// Makes the freedesktop icon theme usable for QIcon::fromTheme: the system's icon folders are
// searched, and where the platform names no theme (offscreen and minimal desktops) Adwaita serves.
// Once per process; main thread.
void ensureIconTheme();

// The theme's icon `name` (else `fallback`) at `size` pixels; null when the theme has neither. Qt
// keeps each theme icon it has drawn for the whole run together with the file's picture at full
// size (a megabyte for a 512-pixel picture); callers keep their own copy at the size they use, so
// Qt's copies are let go (on the main thread; elsewhere they stay).
QImage themeIconImage(const QString &name, int size, const QString &fallback = {});

// The theme's picture of a MIME type at `size` pixels: the type's own icon, else its generic one
// ("text-x-generic" for plain text); null when the theme has neither. Main thread.
QImage themeIconForMimeType(const QString &mimeName, int size);

} // namespace qv
