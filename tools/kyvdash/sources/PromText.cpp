#include "PromText.h"

#include <QList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace kyvdash {
namespace {

// A cursor over one line or selector; every reader leaves it after what it read.
struct Cursor {
  QStringView text;
  qsizetype at = 0;

  bool done() const { return at >= text.size(); }
  QChar peek() const { return done() ? QChar() : text[at]; }
  void skipBlanks() {
    while (!done() && (text[at] == u' ' || text[at] == u'\t')) ++at;
  }
  bool take(QChar c) {
    if (peek() != c) return false;
    ++at;
    return true;
  }
};

bool nameStart(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':'; }
bool nameChar(QChar c) { return nameStart(c) || (c >= u'0' && c <= u'9'); }

QString readName(Cursor& c) {
  const qsizetype from = c.at;
  if (!nameStart(c.peek())) return {};
  while (nameChar(c.peek())) ++c.at;
  return c.text.mid(from, c.at - from).toString();
}

// A double-quoted label value with \\, \" and \n escapes.
std::optional<QString> readQuoted(Cursor& c) {
  if (!c.take(u'"')) return std::nullopt;
  QString out;
  while (!c.done()) {
    const QChar ch = c.text[c.at++];
    if (ch == u'"') return out;
    if (ch != u'\\') {
      out += ch;
      continue;
    }
    if (c.done()) return std::nullopt;
    const QChar e = c.text[c.at++];
    out += e == u'n' ? QChar(u'\n') : e;
  }
  return std::nullopt;
}

// `{name="value", ...}` after a metric name; an empty set is allowed, a trailing comma too.
std::optional<SampleLabels> readLabels(Cursor& c, QString* problem) {
  SampleLabels labels;
  if (!c.take(u'{')) return labels;
  for (;;) {
    c.skipBlanks();
    if (c.take(u'}')) return labels;
    const QString name = readName(c);
    c.skipBlanks();
    if (name.isEmpty() || !c.take(u'=')) {
      if (problem) *problem = QStringLiteral("a label must read name=\"value\"");
      return std::nullopt;
    }
    c.skipBlanks();
    std::optional<QString> value = readQuoted(c);
    if (!value) {
      if (problem) *problem = QStringLiteral("the value of label %1 is not a closed double-quoted text").arg(name);
      return std::nullopt;
    }
    labels.emplace_back(name, *value);
    c.skipBlanks();
    if (c.take(u',')) continue;
    if (c.take(u'}')) return labels;
    if (problem) *problem = QStringLiteral("labels must be separated by commas and closed by }");
    return std::nullopt;
  }
}

std::optional<double> readValue(QStringView word) {
  if (word == u"NaN") return std::numeric_limits<double>::quiet_NaN();
  if (word == u"+Inf" || word == u"Inf") return std::numeric_limits<double>::infinity();
  if (word == u"-Inf") return -std::numeric_limits<double>::infinity();
  bool ok = false;
  const double v = word.toDouble(&ok);
  if (!ok) return std::nullopt;
  return v;
}

std::optional<PromSample> readSample(QStringView line) {
  Cursor c{line};
  c.skipBlanks();
  PromSample s;
  s.name = readName(c);
  if (s.name.isEmpty()) return std::nullopt;
  std::optional<SampleLabels> labels = readLabels(c, nullptr);
  if (!labels) return std::nullopt;
  s.labels = std::move(*labels);
  c.skipBlanks();
  const qsizetype from = c.at;
  while (!c.done() && c.peek() != u' ' && c.peek() != u'\t') ++c.at;
  std::optional<double> value = readValue(line.mid(from, c.at - from));
  if (!value) return std::nullopt;
  s.value = *value;
  return s;
}

}  // namespace

std::vector<PromSample> parseExposition(const QByteArray& text, int* badLines) {
  std::vector<PromSample> samples;
  int bad = 0;
  const QString all = QString::fromUtf8(text);
  for (QStringView line : QStringView(all).split(u'\n')) {
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u'#')) continue;
    if (std::optional<PromSample> s = readSample(trimmed))
      samples.push_back(std::move(*s));
    else
      ++bad;
  }
  if (badLines) *badLines = bad;
  return samples;
}

bool Selector::matches(const PromSample& sample) const {
  if (sample.name != name) return false;
  for (const auto& wanted : labels)
    if (std::find(sample.labels.begin(), sample.labels.end(), wanted) == sample.labels.end()) return false;
  return true;
}

std::optional<Selector> parseSelector(const QString& text, QString* problem) {
  Cursor c{QStringView(text)};
  c.skipBlanks();
  Selector s;
  s.name = readName(c);
  if (s.name.isEmpty()) {
    *problem = QStringLiteral("a metric name must start with a letter, _ or :");
    return std::nullopt;
  }
  c.skipBlanks();
  std::optional<SampleLabels> labels = readLabels(c, problem);
  if (!labels) return std::nullopt;
  s.labels = std::move(*labels);
  c.skipBlanks();
  if (!c.done()) {
    *problem = QStringLiteral("unexpected text after the selector: %1").arg(text.mid(c.at));
    return std::nullopt;
  }
  return s;
}

std::optional<ScrapeField> parseScrapeField(const QString& text, QString* problem) {
  const QString t = text.trimmed();
  const bool rate = t.startsWith(QLatin1String("rate(")) && t.endsWith(u')');
  std::optional<Selector> s = parseSelector(rate ? t.mid(5, t.size() - 6) : t, problem);
  if (!s) return std::nullopt;
  return ScrapeField{std::move(*s), rate};
}

double counterRate(double before, double now, double seconds) {
  if (!(seconds > 0)) return std::numeric_limits<double>::quiet_NaN();
  return (now >= before ? now - before : now) / seconds;
}

}  // namespace kyvdash
