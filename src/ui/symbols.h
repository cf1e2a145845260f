#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace qv {

// The views name their pictograms by symbol names ("photo", "xmark", "sidebar.left", ...). A name
// maps to a freedesktop theme icon where one fits and the theme has it, else to a small picture
// shipped with the program; an unknown name gives a neutral placeholder, never an empty icon.
// Main thread (icon themes are not thread-safe).
class Symbols
{
public:
    Symbols() = delete;

    static QIcon icon(const QString &symbolName);
    // The symbol drawn in one colour (its own colours replaced), `size` device-independent pixels
    // at the device pixel ratio `dpr`.
    static QPixmap pixmap(const QString &symbolName, int size, const QColor &color, double dpr = 1.0);
    // The theme icon name a symbol maps to; empty when it has none.
    static QString themeName(const QString &symbolName);
    // True when the program ships its own picture for the symbol.
    static bool hasShippedPicture(const QString &symbolName);
};

} // namespace qv
