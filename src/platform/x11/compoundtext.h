#pragma once

#include <QByteArray>
#include <QString>

namespace qv {

// Text of an X11 COMPOUND_TEXT value, as older programs set their window titles (xterm's WM_NAME)
// and older toolkits put text on the clipboard. libX11 converts it, with every character set the
// encoding can designate. libX11 names the encoding by a server atom, so the conversion uses a
// connection of its own to $DISPLAY, opened at the first call and kept; calls are serialised.
// Without a display, or for bytes libX11 refuses (a cut escape sequence), the value reads as
// ISO 8859-1, the encoding's default. Controls other than tab and newline, and the NUL separators
// between the strings of a list, are dropped. Never fails; safe from any thread.
QString decodeCompoundText(const QByteArray &bytes);

} // namespace qv
