#include "PromSource.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace kyvdash {

PromSource::PromSource(QString name, QUrl url, std::chrono::milliseconds interval, std::chrono::milliseconds timeout,
                       QObject* parent)
    : Source(std::move(name), parent), url_(std::move(url)), timeout_(timeout) {
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, &PromSource::scrape);
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] { stop(Stopped::TimedOut); });
}

// A scrape in flight is dropped without a report.
PromSource::~PromSource() {
  if (!inFlight_) return;
  inFlight_->disconnect(this);
  inFlight_->abort();
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
  if (inFlight_) return;  // the last scrape is still running: its deadline ends it
  QNetworkRequest request(url_);
  request.setRawHeader("Accept", "text/plain;version=0.0.4");
  page_.clear();
  stopped_ = Stopped::No;
  inFlight_ = network_.get(request);
  deadline_.start(timeout_);
  QNetworkReply* reply = inFlight_;
  connect(reply, &QNetworkReply::readyRead, this, [this, reply] { readSome(reply); });
  connect(reply, &QNetworkReply::finished, this, [this, reply] { scraped(reply); });
}

// The page is read as it comes, and no further than the limit.
void PromSource::readSome(QNetworkReply* reply) {
  if (stopped_ != Stopped::No) return;
  const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
  if (announced > maxPage_ || page_.size() + reply->bytesAvailable() > maxPage_) return stop(Stopped::TooLarge);
  page_ += reply->readAll();
}

void PromSource::stop(Stopped why) {
  if (!inFlight_ || stopped_ != Stopped::No) return;
  stopped_ = why;
  inFlight_->abort();
}

QString PromSource::failure(QNetworkReply* reply) const {
  const QString url = url_.toDisplayString();
  switch (stopped_) {
    case Stopped::TimedOut:
      return QStringLiteral("scrape of %1 timed out after %2 s").arg(url).arg(double(timeout_.count()) / 1000.0);
    case Stopped::TooLarge:
      return QStringLiteral("the page of %1 is larger than its limit of %2 MB; not read further")
          .arg(url)
          .arg(double(maxPage_) / 1e6);
    case Stopped::No: break;
  }
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status >= 400) {
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    return QStringLiteral("cannot scrape %1: HTTP %2%3")
        .arg(url)
        .arg(status)
        .arg(reason.isEmpty() ? QString() : u' ' + reason);
  }
  return QStringLiteral("cannot scrape %1: %2").arg(url, reply->errorString());
}

void PromSource::scraped(QNetworkReply* reply) {
  reply->deleteLater();
  inFlight_.clear();
  deadline_.stop();
  if (stopped_ == Stopped::No && reply->error() == QNetworkReply::NoError) readSome(reply);
  if (stopped_ != Stopped::No || reply->error() != QNetworkReply::NoError) {
    timer_.stop();
    fail(failure(reply), [this] { start(); });
    return;
  }
  take(std::exchange(page_, QByteArray()));
}

void PromSource::take(const QByteArray& page) {
  int bad = 0;
  const std::vector<PromSample> samples = parseExposition(page, &bad);
  if (samples.empty() && bad > 0) {
    timer_.stop();
    fail(QStringLiteral("the page of %1 is not in the Prometheus text format (%2 lines not understood)")
             .arg(url_.toDisplayString())
             .arg(bad),
         [this] { start(); });
    return;
  }
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

}  // namespace kyvdash
