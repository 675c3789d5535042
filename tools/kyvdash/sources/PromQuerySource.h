#pragma once
// A Prometheus server asked through its HTTP API (`/api/v1/query`) every `interval`: each
// field a feed reads is a PromQL expression (`rate(node_network_receive_bytes_total[1m])`,
// `sum by (instance) (...)`), whose value is the reading. Every answer's series are emitted
// with their labels; the reading is the first series' value (the runner, which knows the
// feeds, says when a feed that shows one is given several); one giving none gives no reading (its
// feed goes stale); one the server refuses is reported with the server's own words, once
// until it answers again. A server that cannot be reached, answers too slowly, or sends
// more than the limit is a failure of the source, reported once until it changes. While
// it fails, the server is probed at each tick with one cheap request (its readiness
// check `/-/ready`, or the query `1` on a server without one), and asked every query
// again as soon as a probe is answered, so that a server back is read within an interval
// and a server down is sent one request an interval, never a whole round.
#include <QNetworkAccessManager>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <map>
#include <memory>

#include "HttpFetch.h"
#include "Source.h"
#include "SourceKind.h"

namespace kyvdash {

// The series of a query's answer (the JSON of /api/v1/query), in the server's order: a
// scalar is one series without labels. None, with what the server said or what is wrong in
// `problem`, when it gives no value.
std::vector<Series> querySeries(const QByteArray& answer, QString* problem);
// The readings of the first series of a range query's answer (the JSON of
// /api/v1/query_range), oldest first, at ms since the epoch; none, with what is wrong in
// `problem`, when it holds none. Values that are not finite are left out.
std::vector<TimedReading> rangeReadings(const QByteArray& answer, QString* problem);

// The address that asks `server` (its path kept) the instant query `expression`.
QUrl queryUrl(const QUrl& server, const QString& expression);

// Asks `server` each of `expressions` once, all at once, waiting at most `timeout`: the
// series of each the server answered, by expression. When the server could not be asked
// (no connection, an HTTP error, no answer in time) nothing, with why in `failure`.
std::map<QString, std::vector<Series>> askOnce(const QUrl& server, const QStringList& expressions,
                                               std::chrono::milliseconds timeout, QString* failure);
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
  // Asks /api/v1/query_range for `count` points of `field` (at most the 11,000 a server
  // gives), one an interval, the last an interval before now (so that every sample of it has
  // been stored, and the next live answer follows it by one interval).
  bool askPast(const QString& field, int count) override;

 private:
  struct Query {
    QString expression;
    std::unique_ptr<HttpFetch> fetch;
    QString reported;        // the problem last reported of it, until it answers again
    bool allSeries = false;  // every series is wanted: several are no problem
  };
  void tick();
  void ask();
  void answered(Query& q, const HttpAnswer& answer);
  void roundDone();
  void probe();
  QUrl probeUrl() const;
  void probed(const HttpAnswer& answer);
  // What went wrong with a request, for a report.
  QString failure(const HttpAnswer& answer) const;
  // Reports `what` (once, until it changes) and probes at each tick until answered.
  void goneDown(const QString& what);
  void pastAnswered(const QString& field, const HttpAnswer& answer);

  QUrl endpoint_;
  QUrl ready_;            // the server's readiness check
  bool hasReady_ = true;  // false once the server answered 404 to it
  std::chrono::milliseconds timeout_;
  qint64 maxAnswer_ = 10'000'000;
  QNetworkAccessManager network_;
  HttpFetch probe_{network_};
  QTimer timer_;
  std::chrono::milliseconds interval_;
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
  SeriesKind seriesKind() const override { return SeriesKind::Values; }
  std::map<QString, std::vector<Series>> askOnce(const QStringList& fields, std::chrono::milliseconds timeout,
                                                 QString* failure) const override {
    return kyvdash::askOnce(QUrl(http.url), fields, timeout, failure);
  }
};

}  // namespace kyvdash
