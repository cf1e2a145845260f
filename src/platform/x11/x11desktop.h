#pragma once

#include <memory>

#include "platform/platform.h"

namespace qv {

// The real Linux desktop: X11 over xcb plus what Qt offers directly. Create it on the main thread
// after the QGuiApplication; every member of platform() is set and lives as long as this object.
class X11Desktop
{
public:
    X11Desktop();
    ~X11Desktop();

    // True when an X display can be opened.
    static bool isAvailable();
    Platform platform();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace qv
