#pragma once

#include <QStringList>

class QWidget;

namespace qv {

// What a person would see cut, squeezed or boxed among `root`'s visible widgets: a widget sticking
// out of its parent (down only where the parent does not scroll), a label's text wider than the
// label or wrapped onto more lines than fit, any other widget (a control, a picture) smaller than
// its minimum size hint, a picture a widget draws that its own edges cut, or a character no
// installed font draws. Each entry names the widget (by its text where it has one) and the fault.
QStringList cutTexts(QWidget &root);

// The lines of text `widget` paints itself, as a person reads them (an elided one ends in "…"; one
// its clip cuts off below is not read), each marked when it runs past the widget's right edge.
QStringList paintedLines(QWidget &widget);
// The pixel size of the smallest text `widget` paints itself, scaling included; infinity for none.
double smallestPaintedText(QWidget &widget);

} // namespace qv
