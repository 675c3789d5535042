#pragma once
// A Prometheus server asked through its HTTP API (`/api/v1/query`) every `interval`: each
// field a feed reads is a PromQL expression (`rate(node_network_receive_bytes_total[1m])`,
// `sum by (instance) (...)`), whose value is the reading. Every answer's series are emitted
// with their labels; the reading is the first series' value (an expression giving several
// is reported once, as the first is all a plain feed shows); one giving none gives no reading (its
// feed goes stale); one the server refuses is reported with the server's own words, once
// until it answers again. A server that cannot be reached, answers too slowly, or sends
// more than the limit is a failure of the source, retried with back-off.
#include <QNetworkAccessManager>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <memory>

#include "HttpFetch.h"
#include "Source.h"
#include "SourceKind.h"

namespace kyvdash {

// The series of a query's answer (the JSON of /api/v1/query), in the server's order: a
// scalar is one series without labels. None, with what the server said or what is wrong in
// `problem`, when it gives no value.
std::vector<Series> querySeries(const QByteArray& answer, QString* problem);
// The problem querySeries gives for an instant vector of no series.
inline const QString kNoData = QStringLiteral("no data");

class PromQuerySource : public Source {
  Q_OBJECT

 public:
  PromQuerySource(QString name, QUrl server, std::chrono::milliseconds interval, std::chrono::milliseconds timeout,
                  QObject* parent = nullptr);
  void start() override;
  void want(const QString& field) override;
  void wantSeries(const QString& field) override;
  // The most bytes an answer may have.
  void setMaxAnswer(qint64 bytes);

 private:
  struct Query {
    QString expression;
    std::unique_ptr<HttpFetch> fetch;
    QString reported;        // the problem last reported of it, until it answers again
    bool allSeries = false;  // every series is wanted: several are no problem
  };
  void ask();
  void answered(Query& q, const HttpAnswer& answer);
  void roundDone();

  QUrl endpoint_;
  std::chrono::milliseconds timeout_;
  qint64 maxAnswer_ = 10'000'000;
  QNetworkAccessManager network_;
  QTimer timer_;
  std::deque<Query> queries_;  // a deque: answers hold on to their query while more are added
  int pending_ = 0;
  QString roundFailure_;  // the first failure of the round in flight
};

// A Prometheus server as a layout gives it; its feeds go stale after three rounds
// without an answer unless they say otherwise.
struct PrometheusQuerySettings final : SourceSettings {
  HttpSettings http;
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const override;
  std::optional<double> staleAfter() const override { return 3 * http.interval; }
  bool givesSeries() const override { return true; }
};

}  // namespace kyvdash
