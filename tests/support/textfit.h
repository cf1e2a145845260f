#pragma once

#include <QStringList>

class QWidget;

namespace qv {

// Texts of `root`'s visible widgets (labels, buttons, widgets named by their text) that a person
// would see cut or boxed: a widget sticking out of its parent (down only where the parent does not
// scroll), a label's text wider than the label or wrapped onto more lines than fit, any other widget
// smaller than its minimum size hint (which names the room its text needs), or a character no
// installed font draws. Each entry names the text and the fault.
QStringList cutTexts(QWidget &root);

// The lines of text `widget` paints itself, as a person reads them (an elided one ends in "…"), each
// marked when it runs past the widget's right edge.
QStringList paintedLines(QWidget &widget);

} // namespace qv
