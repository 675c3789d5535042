#include "PromSource.h"

#include <QNetworkRequest>

#include "SourceKind.h"

namespace kyvdash {

PromSource::PromSource(QString name, QUrl url, std::chrono::milliseconds interval, std::chrono::milliseconds timeout,
                       QObject* parent)
    : Source(std::move(name), parent), url_(std::move(url)), timeout_(timeout) {
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, &PromSource::scrape);
  connect(&fetch_, &HttpFetch::answered, this, &PromSource::scraped);
}

void PromSource::want(const QString& field) {
  QString problem;
  for (const Wanted& w : wanted_)
    if (w.field == field) return;
  if (std::optional<ScrapeField> f = parseScrapeField(field, &problem))
    wanted_.push_back({field, std::move(*f), std::nullopt});
}

void PromSource::start() {
  timer_.start();
  scrape();
}

void PromSource::scrape() {
  if (fetch_.busy()) return;  // the last scrape is still running: its timeout ends it
  QNetworkRequest request(url_);
  request.setRawHeader("Accept", "text/plain;version=0.0.4");
  fetch_.get(request, timeout_);
}

QString PromSource::failure(const HttpAnswer& answer) const {
  const QString url = url_.toDisplayString();
  switch (answer.ending) {
    case HttpAnswer::Ending::TimedOut:
      return QStringLiteral("scrape of %1 timed out after %2 s").arg(url).arg(double(timeout_.count()) / 1000.0);
    case HttpAnswer::Ending::TooLarge:
      return QStringLiteral("the page of %1 is larger than its limit of %2 MB; not read further")
          .arg(url)
          .arg(double(fetch_.maxBytes()) / 1e6);
    case HttpAnswer::Ending::Answered:
    case HttpAnswer::Ending::Failed: break;
  }
  return QStringLiteral("cannot scrape %1: %2").arg(url, answer.failure());
}

// While the page fails, the scrape itself is the probe, at each tick as before: one
// request of which at most one is in flight, so a page that is down is asked no more
// often than one that is up, and one that is back is read within an interval.
void PromSource::scraped(const HttpAnswer& answer) {
  if (answer.ending != HttpAnswer::Ending::Answered || answer.status >= 400) return goneDown(failure(answer));
  take(answer.body);
}

void PromSource::goneDown(const QString& what) {
  down(QStringLiteral("%1; scraping it again every %2 s").arg(what).arg(double(timer_.interval()) / 1000.0));
}

void PromSource::take(const QByteArray& page) {
  int bad = 0;
  const std::vector<PromSample> samples = parseExposition(page, &bad);
  if (samples.empty() && bad > 0)
    return goneDown(QStringLiteral("the page of %1 is not in the Prometheus text format (%2 lines not understood)")
                        .arg(url_.toDisplayString())
                        .arg(bad));
  succeed();
  const double seconds = sinceLast_.isValid() ? double(sinceLast_.nsecsElapsed()) / 1e9 : 0;
  sinceLast_.start();
  for (Wanted& w : wanted_) {
    const auto match =
        std::find_if(samples.begin(), samples.end(), [&](const PromSample& s) { return w.read.selector.matches(s); });
    if (match == samples.end()) {
      if (!missing_.contains(w.field))
        emit problem(QStringLiteral("no sample of %1 matches %2").arg(url_.toDisplayString(), w.field));
      missing_.insert(w.field);
      w.last.reset();
      continue;
    }
    missing_.remove(w.field);
    if (!w.read.rate) {
      emit reading(w.field, match->value);
      continue;
    }
    const std::optional<double> before = std::exchange(w.last, match->value);
    if (before) emit reading(w.field, counterRate(*before, match->value, seconds));
  }
}

std::unique_ptr<Source> PrometheusSettings::make(const QString& name, const SourceNeeds&) const {
  auto p = std::make_unique<PromSource>(name, QUrl(http.url), fromSeconds(http.interval), fromSeconds(http.timeout));
  p->setMaxPage(static_cast<qint64>(http.limit * 1e6));
  return p;
}

QString PrometheusSettings::fieldProblem(const QString& field) const {
  QString problem;
  if (parseScrapeField(field, &problem)) return {};
  return QStringLiteral("not a metric selector: %1").arg(problem);
}

SourceKind prometheusSourceKind() { return httpSourceKind<PrometheusSettings>(QStringLiteral("prometheus")); }

}  // namespace kyvdash
