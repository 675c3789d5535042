#pragma once
// The frames kyvdash's page is sent: rectangles of the picture, each taken from an atlas of
// their pixels or moved within the picture, packed so that a frame costs little more than
// the pixels that changed.
//
// A frame message is one binary message: "KYVF", a 16-bit count of rectangles, the 32-bit length
// of the rectangles' table and the table as a zlib stream, the 32-bit length of an atlas
// and the atlas as a zlib stream; numbers are big-endian. The table holds per rectangle
// its x, y, width and height (16 bits each), its kind (8 bits) and an x and y (16 bits
// each): kind 0 takes the rectangle's pixels from the atlas at that x and y, kind 1 from
// the picture as it is at that x and y (a control that scrolled; these come first). The
// atlas is its width, height and colour count (16 bits each), the colours in ascending
// order (red, green and blue bytes, each the difference from the colour before, modulo
// 256) and a byte a pixel, its colour's index; with no colours, RGB bytes a pixel. The
// screen and the controls' state go as JSON text.
#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <optional>
#include <vector>

namespace kyvdash {

// A rectangle of a frame: pixels `to` moved from `from`, or taken from the picture.
struct FramePart {
  QRect to;
  std::optional<QPoint> from;
};

// The frame message of `parts`, the pixels of those not moved taken from `image`.
QByteArray encodeFrame(const QImage& image, const std::vector<FramePart>& parts);
// The same as frame messages whose atlases hold at most 256 colours each (colour indexes
// being a third of RGB's bytes): one unless the parts have more colours between them.
// The moved parts come in the first; a part of over 256 colours alone makes one of RGB.
std::vector<QByteArray> encodeFrames(const QImage& image, const std::vector<FramePart>& parts);
// Applies frame message `frame` to `picture` as a page does (a null picture takes the
// size of the first rectangle, as the whole picture comes first). Returns false, with
// `picture` partly changed, for a message that is not a frame; `parts`, when given,
// receives the frame's rectangles.
bool applyFrame(QImage& picture, const QByteArray& frame, std::vector<FramePart>* parts = nullptr);

// `image` as a PNG, as Qt writes it.
QByteArray pngOf(const QImage& image);
// `image` as a PNG, the smallest Qt writes: of 8-bit colour indexes when it has at most
// 256 colours, else of RGB (the whole-picture baseline the frames are measured against).
QByteArray encodePng(const QImage& image);

}  // namespace kyvdash
