#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QWidget;

namespace qv {

// The text styles of the first-run slides and their labels. Main thread.
namespace SlideText {

QFont headline();
QFont body();
QFont title3();
// A centred label that wraps at its width and at "\n".
QLabel *label(const QFont &font, const QColor &color, QWidget *parent);

} // namespace SlideText

} // namespace qv
