#pragma once

#include <QString>

class QImage;
class QWidget;

namespace qv {

// Saves what `widget` shows now as "<name>.png" in the folder named by QV_SCREENSHOT_DIR, so
// scripts/screenshots.sh can gather every widget test's pictures for people to look at. Does
// nothing when the variable is not set. Returns the file written, or an empty string.
// Offscreen, the picture is also compared with the approved one of that name (support/looks/).
QString saveScreenshot(QWidget &widget, const QString &name);
// The same for a picture read from the screen.
QString saveScreenshot(const QImage &image, const QString &name);

} // namespace qv
