#pragma once
// Sizing the form's elements for the fonts and style in use: the layout in twips gives each
// element its place, which may be too small for what Qt draws there.
#include <QList>
#include <QRect>

class QWidget;

namespace kyvdemo {

// Gives every element of one panel the size it needs: a check box, a one-line label or a
// combo box as wide as its size hint, a text box as wide as five digits, a button as wide
// as its caption, and every one as high as its size hint. An element keeps its left edge
// and its middle row; where two elements then overlap, one above the other, each gives
// back half of the overlap (never below its designed height); none leaves `inside`, the
// panel's inside.
void fitToContents(const QList<QWidget*>& elements, const QRect& inside);

}  // namespace kyvdemo
