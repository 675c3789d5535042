#pragma once
// Scrolling pictures (a bar graph, a trace) change every pixel when a value comes, yet
// most of them only moved. These find how far the pixels of an area moved left, so that
// a page can be told to move them too and be sent only what is new.
#include <QImage>
#include <QRect>

namespace kyvdash {

// How many pixels the picture in `area` moved left from `before` to `after`: the dx,
// from 1 to `maxShift`, for which after(x, y) == before(x + dx, y) holds for most pixels
// (sampled on a few rows) and clearly more than it does unmoved; 0 when it did not move.
// `hint`, the shift found last time, is tried first. Both images are RGB32 of one size.
int leftShift(const QImage& before, const QImage& after, const QRect& area, int hint, int maxShift = 64);

// Moves the pixels of `area` of `image` left by `dx`; the rightmost `dx` columns keep theirs.
void shiftLeft(QImage& image, const QRect& area, int dx);

}  // namespace kyvdash
