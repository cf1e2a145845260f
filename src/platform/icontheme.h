#pragma once

namespace qv {

// Makes the freedesktop icon theme usable for QIcon::fromTheme: the system's icon folders are
// searched, and where the platform names no theme (offscreen and minimal desktops) Adwaita serves.
// Once per process; main thread.
void ensureIconTheme();

} // namespace qv
