#include "ui/theme.h"

#include <QApplication>

namespace qv::Theme {

QFont systemFont(double pointSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    // Design points are device-independent pixels here, whatever the screen's DPI says.
    font.setPixelSize(qMax(1, qRound(pointSize)));
    font.setWeight(weight);
    return font;
}

} // namespace qv::Theme
