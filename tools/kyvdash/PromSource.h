#pragma once
// A page in the Prometheus text exposition format, scraped every `interval`. Each field a
// feed reads is a selector (`node_load1`, `http_requests_total{code="200"}`); the first
// sample of the page that matches it gives the reading. A selector that matches nothing is
// reported once, until it matches again.
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include "PromText.h"
#include "Source.h"

class QNetworkReply;

namespace kyvdash {

class PromSource : public Source {
  Q_OBJECT

 public:
  PromSource(QString name, QUrl url, std::chrono::milliseconds interval, std::chrono::milliseconds timeout,
             QObject* parent = nullptr);
  ~PromSource() override;
  void start() override;
  void want(const QString& field) override;

 private:
  void scrape();
  void scraped(QNetworkReply* reply);
  void take(const QByteArray& page);

  QUrl url_;
  std::chrono::milliseconds timeout_;
  QNetworkAccessManager network_;
  QPointer<QNetworkReply> inFlight_;
  QTimer timer_;
  std::vector<std::pair<QString, Selector>> wanted_;
  QSet<QString> missing_;  // selectors reported as matching nothing
};

}  // namespace kyvdash
