#include "Repeat.h"

#include <algorithm>
#include <cmath>

namespace kyvdash {
QString promqlEscaped(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (const QChar c : value) {
    if (c == u'\\' || c == u'"')
      out += u'\\';
    else if (c == u'\n') {
      out += QStringLiteral("\\n");
      continue;
    }
    out += c;
  }
  return out;
}

QString substituted(const QString& text, const QString& label, const QString& value) {
  QString out = text;
  return out.replace(u'{' + label + u'}', value);
}

int gridColumns(Arrangement arrangement, QSizeF block, QSizeF area, int count) {
  if (arrangement == Arrangement::Rows || count <= 1 || block.isEmpty() || area.isEmpty()) return 1;
  int best = 1;
  double bestScale = 0;
  for (int columns = 1; columns <= count; ++columns) {
    const int rows = (count + columns - 1) / columns;
    const double scale = std::min(area.width() / (columns * block.width()), area.height() / (rows * block.height()));
    if (scale > bestScale * (1 + 1e-9)) {
      bestScale = scale;
      best = columns;
    }
  }
  return best;
}

std::vector<QPointF> blockPlaces(QPointF origin, QSizeF block, double gap, int columns, int count) {
  std::vector<QPointF> places;
  places.reserve(count);
  for (int i = 0; i < count; ++i)
    places.emplace_back(origin.x() + (i % columns) * (block.width() + gap),
                        origin.y() + (i / columns) * (block.height() + gap));
  return places;
}

}  // namespace kyvdash
