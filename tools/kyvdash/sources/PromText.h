#pragma once
// The Prometheus text exposition format, and selectors of one sample in it:
//
//   # TYPE node_load1 gauge
//   node_load1 0.52
//   http_requests_total{method="get",code="200"} 1027 1395066363000
//
// A selector is a metric name with the labels a sample must carry (it may carry others):
// `http_requests_total{method="get"}`.
#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace kyvdash {

// A sample's labels in the order the page writes them.
using SampleLabels = std::vector<std::pair<QString, QString>>;

struct PromSample {
  QString name;
  SampleLabels labels;
  double value = 0;
};

// The samples of a page, in page order. Comment lines and blank lines are skipped; a line
// that is not a sample is counted in `badLines` when given.
std::vector<PromSample> parseExposition(const QByteArray& text, int* badLines = nullptr);

struct Selector {
  QString name;
  SampleLabels labels;
  bool matches(const PromSample& sample) const;
};

// Reads `name` or `name{label="value",...}`; nothing, with the reason in `problem`, when the
// text is not a selector.
std::optional<Selector> parseSelector(const QString& text, QString* problem);

// What a feed of a scraped page reads: a selector's sample, or with `rate(SELECTOR)` the
// per-second rate of that counter over the last two scrapes.
struct ScrapeField {
  Selector selector;
  bool rate = false;
};
std::optional<ScrapeField> parseScrapeField(const QString& text, QString* problem);

// The per-second rate of a counter read `seconds` apart, `before` then `now`. A counter that
// went down was reset (its process restarted) and counted from 0 again.
double counterRate(double before, double now, double seconds);

}  // namespace kyvdash
