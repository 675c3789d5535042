#include "PromSource.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace kyvdash {

PromSource::PromSource(QString name, QUrl url, std::chrono::milliseconds interval, std::chrono::milliseconds timeout,
                       QObject* parent)
    : Source(std::move(name), parent), url_(std::move(url)), timeout_(timeout) {
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, &PromSource::scrape);
}

// A scrape in flight is dropped without a report.
PromSource::~PromSource() {
  if (!inFlight_) return;
  inFlight_->disconnect(this);
  inFlight_->abort();
}

void PromSource::want(const QString& field) {
  QString problem;
  for (const auto& w : wanted_)
    if (w.first == field) return;
  if (std::optional<Selector> s = parseSelector(field, &problem)) wanted_.emplace_back(field, std::move(*s));
}

void PromSource::start() {
  timer_.start();
  scrape();
}

void PromSource::scrape() {
  if (inFlight_) return;  // the last scrape is still running: its timeout ends it
  QNetworkRequest request(url_);
  request.setTransferTimeout(static_cast<int>(timeout_.count()));
  request.setRawHeader("Accept", "text/plain;version=0.0.4");
  inFlight_ = network_.get(request);
  connect(inFlight_, &QNetworkReply::finished, this, [this, reply = inFlight_.data()] { scraped(reply); });
}

void PromSource::scraped(QNetworkReply* reply) {
  reply->deleteLater();
  inFlight_.clear();
  if (reply->error() != QNetworkReply::NoError) {
    timer_.stop();
    fail(QStringLiteral("cannot scrape %1: %2").arg(url_.toDisplayString(), reply->errorString()), [this] { start(); });
    return;
  }
  take(reply->readAll());
  succeed();
}

void PromSource::take(const QByteArray& page) {
  const std::vector<PromSample> samples = parseExposition(page);
  for (const auto& [field, selector] : wanted_) {
    const auto match = std::find_if(samples.begin(), samples.end(), [&](const PromSample& s) { return selector.matches(s); });
    if (match == samples.end()) {
      if (!missing_.contains(field)) emit problem(QStringLiteral("no sample of %1 matches %2").arg(url_.toDisplayString(), field));
      missing_.insert(field);
      continue;
    }
    missing_.remove(field);
    emit reading(field, match->value);
  }
}

}  // namespace kyvdash
