#include "History.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace kyvdash {
namespace {

using nlohmann::json;

constexpr const char* kKind = "kyvdash history";
constexpr int kVersion = 1;

// The readings of a saved trail, when each is [ms, finite number] and none earlier than the one before.
std::optional<std::vector<TimedReading>> savedReadings(const json& list) {
  if (!list.is_array() || list.size() > kMaxSavedReadings) return std::nullopt;
  std::vector<TimedReading> readings;
  for (const json& pair : list) {
    if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_integer() || !pair[1].is_number())
      return std::nullopt;
    const TimedReading r{pair[0].get<qint64>(), pair[1].get<double>()};
    if (!std::isfinite(r.value) || (!readings.empty() && r.at < readings.back().at)) return std::nullopt;
    readings.push_back(r);
  }
  return readings;
}

}  // namespace

void Trail::take(TimedReading reading) {
  readings.push_back(reading);
  while (readings.size() > shows) readings.pop_front();
}

void Trail::assign(const std::vector<TimedReading>& all) {
  const size_t from = all.size() > shows ? all.size() - shows : 0;
  readings.assign(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

std::vector<double> Trail::picture() const {
  std::vector<double> values;
  if (readings.empty()) return values;
  if (drawsFromZero && readings.size() < shows) values.assign(shows - readings.size(), readings.front().value);
  for (const TimedReading& r : readings) values.push_back(r.value);
  return values;
}

std::vector<TimedReading> joinPast(const std::vector<TimedReading>& past, const std::deque<TimedReading>& live,
                                   qint64 step, size_t keep) {
  std::vector<TimedReading> all = past;
  const qint64 after = past.empty() ? std::numeric_limits<qint64>::min() : past.back().at + step / 2;
  for (const TimedReading& r : live)
    if (r.at > after) all.push_back(r);
  if (all.size() > keep) all.erase(all.begin(), all.end() - static_cast<std::ptrdiff_t>(keep));
  return all;
}

QByteArray historyText(const QString& layout, const std::vector<const Trail*>& trails, qint64 savedAt) {
  json list = json::array();
  for (const Trail* t : trails) {
    json readings = json::array();
    for (const TimedReading& r : t->readings)
      if (std::isfinite(r.value)) readings.push_back(json::array({r.at, r.value}));
    list.push_back({{"trail", t->identity.toStdString()}, {"readings", std::move(readings)}});
  }
  const json doc{{"kind", kKind},
                 {"version", kVersion},
                 {"layout", layout.toStdString()},
                 {"saved", savedAt},
                 {"trails", std::move(list)}};
  return QByteArray::fromStdString(doc.dump());
}

std::optional<std::vector<SavedTrail>> readHistory(const QByteArray& text, const QString& layout, QString* problem) {
  const json doc = json::parse(text.begin(), text.end(), nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || doc.value("kind", std::string()) != kKind) {
    *problem = QStringLiteral("is not a kyvdash history file");
    return std::nullopt;
  }
  if (doc.value("version", 0) != kVersion) {
    *problem = QStringLiteral("is of another version of kyvdash");
    return std::nullopt;
  }
  const json& of = doc.value("layout", json());
  if (!of.is_string() || QString::fromStdString(of.get<std::string>()) != layout) {
    *problem = QStringLiteral("is the history of another layout (%1)")
                   .arg(of.is_string() ? QString::fromStdString(of.get<std::string>()) : QStringLiteral("none"));
    return std::nullopt;
  }
  const json trails = doc.value("trails", json());
  if (!trails.is_array()) {
    *problem = QStringLiteral("is damaged: it holds no list of trails");
    return std::nullopt;
  }
  std::vector<SavedTrail> saved;
  for (const json& t : trails) {
    const std::optional<std::vector<TimedReading>> readings =
        t.is_object() && t.contains("trail") && t["trail"].is_string() ? savedReadings(t.value("readings", json()))
                                                                       : std::nullopt;
    if (!readings) {
      *problem = QStringLiteral("is damaged: trail %1 is not a list of [time, value] readings").arg(saved.size());
      return std::nullopt;
    }
    saved.push_back({QByteArray::fromStdString(t["trail"].get<std::string>()), *readings});
  }
  return saved;
}

}  // namespace kyvdash
