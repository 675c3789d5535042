#pragma once
// The arithmetic of repeated blocks: the order blocks stand in (natural: host2 before
// host10), a label's value written into a block's texts, and where each block goes.
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

#include "SeriesPick.h"

namespace kyvdash {

// Natural order (see naturalLess) as a map's order.
struct NaturalLess {
  bool operator()(const QString& a, const QString& b) const { return naturalLess(a, b); }
};

// `value` as it may stand inside a PromQL string in double quotes: backslash and double
// quote escaped, a line break written as \n.
QString promqlEscaped(const QString& value);

// `text` with every `{label}` replaced by `value`.
QString substituted(const QString& text, const QString& label, const QString& value);

// How blocks fill their area: in tiles of as many columns as fill it best, or one block a row.
enum class Arrangement { Tiles, Rows };

// The columns `count` blocks of `block` (twips, the gap included) take in `area` so that
// the grid, scaled to fit the area, is largest; 1 for rows.
int gridColumns(Arrangement arrangement, QSizeF block, QSizeF area, int count);

// The top left corner of each of `count` blocks of `block` size set `gap` apart from
// `origin`, row by row in `columns` columns.
std::vector<QPointF> blockPlaces(QPointF origin, QSizeF block, double gap, int columns, int count);

}  // namespace kyvdash
