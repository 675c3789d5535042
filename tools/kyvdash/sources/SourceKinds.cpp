#include <algorithm>

#include "SourceKind.h"

namespace kyvdash {

// The kinds of kyvdash, each defined in the file of its source: a kind of source is its
// file, its function's name here, and its place in the list below.
SourceKind stdinSourceKind(), fileSourceKind(), procSourceKind(), prometheusSourceKind(), prometheusQuerySourceKind(),
    prometheusAlertsSourceKind(), commandSourceKind();

namespace {

std::vector<SourceKind>& kinds() {
  static std::vector<SourceKind> all{stdinSourceKind(),
                                     fileSourceKind(),
                                     procSourceKind(),
                                     prometheusSourceKind(),
                                     prometheusQuerySourceKind(),
                                     prometheusAlertsSourceKind(),
                                     commandSourceKind()};
  return all;
}

}  // namespace

QString SourceSettings::fieldProblem(const QString&) const { return {}; }
std::optional<FieldReach> SourceSettings::fieldReach(const QString&) const { return std::nullopt; }
std::optional<double> SourceSettings::staleAfter() const { return std::nullopt; }
SeriesKind SourceSettings::seriesKind() const { return SeriesKind::None; }
std::map<QString, std::vector<Series>> SourceSettings::askOnce(const QStringList&, std::chrono::milliseconds,
                                                               QString*) const {
  return {};
}

const std::vector<SourceKind>& sourceKinds() { return kinds(); }

const SourceKind* findSourceKind(const QString& name) {
  const auto& all = kinds();
  const auto at = std::find_if(all.begin(), all.end(), [&](const SourceKind& k) { return k.name == name; });
  return at == all.end() ? nullptr : &*at;
}

void addSourceKind(SourceKind kind) {
  auto& all = kinds();
  const auto at = std::find_if(all.begin(), all.end(), [&](const SourceKind& k) { return k.name == kind.name; });
  if (at != all.end())
    *at = std::move(kind);
  else
    all.push_back(std::move(kind));
}

}  // namespace kyvdash
