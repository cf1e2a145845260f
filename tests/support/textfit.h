#pragma once

#include <QStringList>

class QWidget;

namespace qv {

// Texts of `root`'s visible widgets (labels, buttons, widgets named by their text) that a person
// would see cut: a widget sticking out of its parent, or a text given less room than it needs
// (a label's text wider than the label, or wrapped onto more lines than fit; any other widget
// smaller than its minimum size hint, which names the room its text needs). A parent that scrolls
// vertically may hold a widget partly out of view. Each entry names the text and what is wrong.
QStringList cutTexts(QWidget &root);

// Texts of `root`'s visible labels and buttons with a character no installed font draws (shown as
// a box).
QStringList boxedTexts(QWidget &root);

} // namespace qv
