#include "Repeat.h"

#include <algorithm>
#include <cmath>

namespace kyvdash {
namespace {

// The length of the run of digits at `from`.
qsizetype digitRun(const QString& s, qsizetype from) {
  qsizetype end = from;
  while (end < s.size() && s[end].isDigit()) ++end;
  return end - from;
}

// Compares two runs of digits as numbers of any length: leading zeros aside, the longer is
// larger, then the first differing digit decides. -1, 0 or 1.
int compareNumbers(QStringView a, QStringView b) {
  while (a.size() > 1 && a.front() == u'0') a = a.mid(1);
  while (b.size() > 1 && b.front() == u'0') b = b.mid(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace

bool naturalLess(const QString& a, const QString& b) {
  qsizetype i = 0, k = 0;
  while (i < a.size() && k < b.size()) {
    const qsizetype runA = digitRun(a, i), runB = digitRun(b, k);
    if (runA > 0 && runB > 0) {
      if (const int c = compareNumbers(QStringView(a).mid(i, runA), QStringView(b).mid(k, runB)); c != 0) return c < 0;
      i += runA;
      k += runB;
      continue;
    }
    if (a[i] != b[k]) return a[i] < b[k];
    ++i;
    ++k;
  }
  if (a.size() - i != b.size() - k) return a.size() - i < b.size() - k;
  return a < b;  // equal as numbers (host02, host2): the plain order keeps it strict
}

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
