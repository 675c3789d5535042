#include "FieldReader.h"

#include <cmath>

#include "ShellWords.h"

namespace kyvdash {
namespace {

using nlohmann::json;

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

QString decimal(double v) { return QString::number(v, 'g', 15); }

void FieldReader::add(const QString& field, const QString& what) const {
  errors_ << (owner_.isEmpty() ? field : owner_ + QStringLiteral(": ") + field) + QStringLiteral(": ") + what;
}

void FieldReader::unknownMembers(const json& object, const QString& prefix,
                                 std::initializer_list<const char*> known) const {
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (const char* k : known) found = found || key == k;
    if (found) continue;
    QStringList names;
    for (const char* k : known) names << QLatin1String(k);
    add(prefix + text(key), QStringLiteral("unknown member (known: %1)").arg(names.join(QStringLiteral(", "))));
  }
}

std::optional<QString> FieldReader::string(const json& object, const char* key, const QString& field,
                                           bool required) const {
  if (!object.contains(key)) {
    if (required) add(field, QStringLiteral("missing"));
    return std::nullopt;
  }
  const json& v = object[key];
  if (!v.is_string() || v.get<std::string>().empty()) {
    add(field, QStringLiteral("must be a text that is not empty"));
    return std::nullopt;
  }
  return text(v.get<std::string>());
}

std::optional<double> FieldReader::number(const json& object, const char* key, const QString& field, double low,
                                          double high, bool aboveLow) const {
  if (!object.contains(key)) return std::nullopt;
  const json& v = object[key];
  const double n = v.is_number() ? v.get<double>() : std::nan("");
  if (!v.is_number() || !std::isfinite(n)) {
    add(field, QStringLiteral("must be a number"));
    return std::nullopt;
  }
  if (n < low || n > high || (aboveLow && n == low)) {
    add(field, aboveLow ? QStringLiteral("must be above %1 and at most %2").arg(decimal(low), decimal(high))
                        : QStringLiteral("must be from %1 to %2").arg(decimal(low), decimal(high)));
    return std::nullopt;
  }
  return n;
}

std::optional<QRectF> FieldReader::rect(const json& object, const char* key, const QString& field,
                                        bool sizeOnly) const {
  const char* shape = sizeOnly ? "[width, height] in twips" : "[left, top, width, height] in twips";
  if (!object.contains(key)) {
    add(field, QStringLiteral("missing; give %1").arg(QLatin1String(shape)));
    return std::nullopt;
  }
  const json& v = object[key];
  const size_t n = sizeOnly ? 2 : 4;
  bool ok = v.is_array() && v.size() == n;
  for (size_t i = 0; ok && i < n; ++i) ok = v[i].is_number() && std::isfinite(v[i].get<double>());
  if (!ok) {
    add(field, QStringLiteral("must be %1").arg(QLatin1String(shape)));
    return std::nullopt;
  }
  const double l = sizeOnly ? 0 : v[0].get<double>(), t = sizeOnly ? 0 : v[1].get<double>();
  const double w = v[n - 2].get<double>(), h = v[n - 1].get<double>();
  if (l < 0 || t < 0 || l > kMaxTwips || t > kMaxTwips) {
    add(field, QStringLiteral("left and top must be from 0 to %1 twips").arg(decimal(kMaxTwips)));
    return std::nullopt;
  }
  if (w <= 0 || h <= 0 || w > kMaxTwips || h > kMaxTwips) {
    add(field, QStringLiteral("width and height must be above 0 and at most %1 twips").arg(decimal(kMaxTwips)));
    return std::nullopt;
  }
  return QRectF(l, t, w, h);
}

std::optional<QStringList> FieldReader::command(const json& v, const QString& field) const {
  QStringList words;
  if (v.is_string()) {
    QString problem;
    std::optional<QStringList> split = splitShellWords(text(v.get<std::string>()), &problem);
    if (!split) {
      add(field, QStringLiteral("cannot be split into words: %1").arg(problem));
      return std::nullopt;
    }
    words = *split;
  } else if (v.is_array()) {
    for (const json& w : v) {
      if (!w.is_string()) {
        words.clear();
        break;
      }
      words << text(w.get<std::string>());
    }
  }
  if (words.isEmpty() || words.front().isEmpty()) {
    add(field, QStringLiteral("must be a command: a list of words or a text, not empty"));
    return std::nullopt;
  }
  return words;
}

}  // namespace kyvdash
