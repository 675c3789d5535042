#pragma once
// A page in the Prometheus text exposition format, scraped every `interval`. Each field a
// feed reads is a selector (`node_load1`, `http_requests_total{code="200"}`); the first
// sample of the page that matches it gives the reading, or with `rate(SELECTOR)` the
// counter's rate a second between the last two scrapes (from the second scrape on). A selector that matches nothing is
// reported once, until it matches again. A scrape is given up after its timeout, and a page
// is read no further than a limit (10 MB unless set), so that a wrong address cannot fill
// memory; either, an HTTP error and a page that is not in the format are failures. While
// it fails, the page is scraped at each tick all the same (the scrape is the cheapest
// request an exporter answers), and a failure is reported once until it changes.
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include "HttpFetch.h"
#include "PromText.h"
#include "Source.h"
#include "SourceKind.h"

namespace kyvdash {

class PromSource : public Source {
  Q_OBJECT

 public:
  PromSource(QString name, QUrl url, std::chrono::milliseconds interval, std::chrono::milliseconds timeout,
             QObject* parent = nullptr);
  void start() override;
  void want(const QString& field) override;
  // The most bytes a page may have.
  void setMaxPage(qint64 bytes) { fetch_.setMaxBytes(bytes); }

 private:
  void scrape();
  void scraped(const HttpAnswer& answer);
  void goneDown(const QString& what);
  QString failure(const HttpAnswer& answer) const;
  void take(const QByteArray& page);

  QUrl url_;
  std::chrono::milliseconds timeout_;
  QNetworkAccessManager network_;
  HttpFetch fetch_{network_};
  QTimer timer_;
  struct Wanted {
    QString field;
    ScrapeField read;
    std::optional<double> last;  // rate: the counter at the last scrape
  };
  std::vector<Wanted> wanted_;
  QElapsedTimer sinceLast_;  // time since the last page read
  QSet<QString> missing_;    // selectors reported as matching nothing
};

// A scraped page as a layout gives it; its fields are metric selectors.
struct PrometheusSettings final : SourceSettings {
  HttpSettings http;
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const override;
  QString fieldProblem(const QString& field) const override;
};

}  // namespace kyvdash
