#pragma once
// A page in the Prometheus text exposition format, scraped every `interval`. Each field a
// feed reads is a selector (`node_load1`, `http_requests_total{code="200"}`); the first
// sample of the page that matches it gives the reading, or with `rate(SELECTOR)` the
// counter's rate a second between the last two scrapes (from the second scrape on). A selector that matches nothing is
// reported once, until it matches again. A scrape is given up after its timeout, and a page
// is read no further than a limit (10 MB unless set), so that a wrong address cannot fill
// memory; either, an HTTP error and a page that is not in the format are failures.
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include "PromText.h"
#include "Source.h"

class QNetworkReply;

namespace kyvdash {

inline constexpr qint64 kDefaultMaxPage = 10'000'000;

class PromSource : public Source {
  Q_OBJECT

 public:
  PromSource(QString name, QUrl url, std::chrono::milliseconds interval, std::chrono::milliseconds timeout,
             QObject* parent = nullptr);
  ~PromSource() override;
  void start() override;
  void want(const QString& field) override;
  // The most bytes a page may have.
  void setMaxPage(qint64 bytes) { maxPage_ = bytes; }

 private:
  enum class Stopped { No, TimedOut, TooLarge };
  void scrape();
  void readSome(QNetworkReply* reply);
  void stop(Stopped why);
  void scraped(QNetworkReply* reply);
  QString failure(QNetworkReply* reply) const;
  void take(const QByteArray& page);

  QUrl url_;
  std::chrono::milliseconds timeout_;
  QNetworkAccessManager network_;
  QPointer<QNetworkReply> inFlight_;
  QTimer timer_;
  QTimer deadline_;  // ends a scrape at its timeout
  qint64 maxPage_ = kDefaultMaxPage;
  QByteArray page_;  // what came of the page so far
  Stopped stopped_ = Stopped::No;
  struct Wanted {
    QString field;
    ScrapeField read;
    std::optional<double> last;  // rate: the counter at the last scrape
  };
  std::vector<Wanted> wanted_;
  QElapsedTimer sinceLast_;  // time since the last page read
  QSet<QString> missing_;    // selectors reported as matching nothing
};

}  // namespace kyvdash
