#include "SeriesPick.h"

#include <QStringList>
#include <algorithm>

namespace kyvdash {
namespace {

// The run of `text` from `at` that is all digits, or all not digits.
QStringView run(const QString& text, qsizetype at) {
  const bool digits = text[at].isDigit();
  qsizetype end = at;
  while (end < text.size() && text[end].isDigit() == digits) ++end;
  return QStringView(text).mid(at, end - at);
}

// Two runs of digits by their numbers: leading zeros dropped, the longer the larger.
int compareNumbers(QStringView a, QStringView b) {
  while (a.size() > 1 && a.front() == u'0') a = a.mid(1);
  while (b.size() > 1 && b.front() == u'0') b = b.mid(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

bool labelsLess(const Labels& a, const Labels& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    if (x.first != y.first) return naturalLess(x.first, y.first);
    return naturalLess(x.second, y.second);
  });
}

}  // namespace

bool naturalLess(const QString& a, const QString& b) {
  qsizetype i = 0, k = 0;
  while (i < a.size() && k < b.size()) {
    const QStringView x = run(a, i), y = run(b, k);
    const bool numbers = x.front().isDigit() && y.front().isDigit();
    const int order = numbers ? compareNumbers(x, y) : x.compare(y);
    if (order != 0) return order < 0;
    i += x.size();
    k += y.size();
  }
  // One is a prefix of the other by its runs ("host" before "host1"); "a01" and "a1" by their text.
  if (i < a.size() || k < b.size()) return k < b.size();
  return a < b;
}

bool labelsInclude(const Labels& labels, const Labels& match) {
  for (const auto& [name, value] : match) {
    const auto at = labels.find(name);
    if (at == labels.end() || at->second != value) return false;
  }
  return true;
}

std::vector<const Series*> matchingSeries(const std::vector<Series>& all, const Labels& match) {
  std::vector<const Series*> found;
  for (const Series& s : all)
    if (labelsInclude(s.labels, match)) found.push_back(&s);
  std::stable_sort(found.begin(), found.end(),
                   [](const Series* a, const Series* b) { return labelsLess(a->labels, b->labels); });
  return found;
}

std::vector<Column> seriesColumns(const std::vector<Series>& all, const QString& by, const Labels& match, int columns,
                                  int* left) {
  std::vector<Column> found;
  for (const Series* s : matchingSeries(all, match)) {
    const auto name = s->labels.find(by);
    found.push_back({name == s->labels.end() ? QString() : name->second, s});
  }
  // Series without the label go last; ties keep the order of their labels.
  std::stable_sort(found.begin(), found.end(), [](const Column& a, const Column& b) {
    if (a.name.isEmpty() != b.name.isEmpty()) return b.name.isEmpty();
    return naturalLess(a.name, b.name);
  });
  const int kept = std::min(static_cast<int>(found.size()), std::max(columns, 0));
  *left = static_cast<int>(found.size()) - kept;
  found.resize(static_cast<size_t>(kept));
  return found;
}

QString labelsText(const Labels& labels) {
  QStringList pairs;
  for (const auto& [name, value] : labels) pairs << QStringLiteral("%1=\"%2\"").arg(name, value);
  return u'{' + pairs.join(QStringLiteral(", ")) + u'}';
}

}  // namespace kyvdash
