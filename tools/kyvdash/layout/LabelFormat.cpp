#include "LabelFormat.h"

#include <QRegularExpression>
#include <array>
#include <cmath>

namespace kyvdash {
namespace {

const QRegularExpression& placeholder() {
  static const QRegularExpression re(QStringLiteral("\\{([A-Za-z_][A-Za-z0-9_]*)(?::([^{}]*))?\\}"));
  return re;
}

bool knownFormat(const QString& format) {
  static const QRegularExpression fixed(QStringLiteral("^\\.[0-9]f$"));
  return format.isEmpty() || format == QLatin1String("si") || fixed.match(format).hasMatch();
}

// Three significant digits and the SI prefix that keeps the number from 1 to 999.
QString si(double v) {
  static constexpr std::array<const char*, 11> prefixes{"p", "n", "\u00b5", "m", "", "k", "M", "G", "T", "P", "E"};
  if (v == 0 || !std::isfinite(v)) return QString::number(v) + u' ';
  int power = static_cast<int>(std::floor(std::log10(std::fabs(v)) / 3));
  power = std::clamp(power, -4, 6);
  double scaled = v / std::pow(1000.0, power);
  if (std::fabs(scaled) >= 999.5 && power < 6) {  // rounds up into the next prefix
    scaled /= 1000;
    ++power;
  }
  const int decimals = std::fabs(scaled) >= 99.95 ? 0 : std::fabs(scaled) >= 9.995 ? 1 : 2;
  return QString::number(scaled, 'f', decimals) + u' ' + QString::fromUtf8(prefixes[power + 4]);
}

QString formatted(double v, const QString& format) {
  if (format == QLatin1String("si")) return si(v);
  // Past 15 digits before the point a fixed form is a long row of digits no label holds.
  if (format.isEmpty() || std::fabs(v) >= 1e15) return QString::number(v, 'g', 12);
  return QString::number(v, 'f', format.mid(1, 1).toInt());
}

// What stands for a number not yet read: a dash, with the space the SI form puts before
// its unit, so that "{value:si}B/s" reads "- B/s".
QString noValue(const QString& format) {
  return format == QLatin1String("si") ? QStringLiteral("- ") : QStringLiteral("-");
}

}  // namespace

QString labelTextProblem(const QString& text, bool fed, bool alertsFed) {
  for (const QRegularExpressionMatch& m : placeholder().globalMatch(text)) {
    if (m.captured(0) == QLatin1String("{alerts}")) {
      if (!alertsFed) return QStringLiteral("{alerts} needs the label's feed to be a prometheus-alerts source");
      continue;
    }
    if (m.captured(1) != QLatin1String("value"))
      return QStringLiteral("unknown placeholder %1 (a label shows {value}, {value:.1f}, {value:si} or {alerts})")
          .arg(m.captured(0));
    if (!knownFormat(m.captured(2)))
      return QStringLiteral("unknown format in %1 (known: {value}, {value:.Nf} with N from 0 to 9, {value:si})")
          .arg(m.captured(0));
    if (!fed) return QStringLiteral("%1 needs the label to have a feed").arg(m.captured(0));
  }
  return {};
}

QString formatLabel(const QString& text, std::optional<double> value, const QString& alerts) {
  QString out;
  qsizetype from = 0;
  for (const QRegularExpressionMatch& m : placeholder().globalMatch(text)) {
    out += QStringView(text).mid(from, m.capturedStart() - from);
    if (m.captured(1) == QLatin1String("alerts"))
      out += alerts.isEmpty() ? QStringLiteral("-") : alerts;
    else
      out += value ? formatted(*value, m.captured(2)) : noValue(m.captured(2));
    from = m.capturedEnd();
  }
  out += QStringView(text).mid(from);
  return out;
}

}  // namespace kyvdash
