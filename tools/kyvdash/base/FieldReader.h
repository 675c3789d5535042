#pragma once
// Reading the members of a layout's JSON objects (a control, a source, a label, the file
// itself), each problem noted as `OWNER: FIELD: what is wrong`, so that one reading
// reports every problem of a file at once.
#include <QRectF>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>

namespace kyvdash {

// The longest time a layout may give, in seconds: a day.
inline constexpr double kMaxSeconds = 86400;
// The farthest a layout may place or size anything, in twips.
inline constexpr double kMaxTwips = 1e6;

class FieldReader {
 public:
  // Notes problems in `errors`, each under `owner` ("source \"prom\""; empty for the file's own members).
  FieldReader(QStringList& errors, QString owner) : errors_(errors), owner_(std::move(owner)) {}

  // Notes that `field` is wrong in the way `what` says.
  void add(const QString& field, const QString& what) const;
  // Notes each member of `object` outside `known` (a misspelt member would do nothing),
  // under `prefix` ("feed.").
  void unknownMembers(const nlohmann::json& object, const QString& prefix,
                      std::initializer_list<const char*> known) const;
  // A text that is not empty; nothing when absent (noted when `required`) or wrong.
  std::optional<QString> string(const nlohmann::json& object, const char* key, const QString& field,
                                bool required) const;
  // A number from `low` to `high`; `aboveLow` excludes `low` itself. Nothing when absent or wrong.
  std::optional<double> number(const nlohmann::json& object, const char* key, const QString& field, double low,
                               double high, bool aboveLow = false) const;
  // [left, top, width, height] in twips, or [width, height] with `sizeOnly`.
  std::optional<QRectF> rect(const nlohmann::json& object, const char* key, const QString& field,
                             bool sizeOnly = false) const;
  // A command as a list of words, or one text split as a shell would (without running one).
  std::optional<QStringList> command(const nlohmann::json& value, const QString& field) const;

 private:
  QStringList& errors_;
  QString owner_;
};

// A number as a layout's messages write it: up to 15 significant digits.
QString decimal(double v);

}  // namespace kyvdash
