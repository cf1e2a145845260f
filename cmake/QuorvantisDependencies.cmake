# The libraries the layers link, found once for the main build and for the fuzzing build.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Svg Network DBus Test Concurrent Multimedia MultimediaWidgets)
find_package(PkgConfig REQUIRED)
find_package(ZLIB REQUIRED)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET
    xcb xcb-ewmh xcb-icccm xcb-composite xcb-image xcb-xfixes xcb-xinput xcb-keysyms xcb-xtest xcb-xkb
    xcb-res xcb-shm xcb-damage)
# libX11 converts COMPOUND_TEXT window titles and clipboard text.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(POPPLER REQUIRED IMPORTED_TARGET poppler-qt6)
pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)
pkg_check_modules(TESSERACT REQUIRED IMPORTED_TARGET tesseract lept)
pkg_check_modules(ATSPI REQUIRED IMPORTED_TARGET atspi-2 gobject-2.0)
