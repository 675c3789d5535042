#pragma once
// The alerts a Prometheus server fires, read from its HTTP API (`/api/v1/alerts`) every
// `interval`. Its one field, `firing`, gives the number of alerts firing as its reading and
// each firing alert as a series of its labels (`alertname` among them); pending alerts are
// left out. A dashboard marks the controls whose series a firing alert concerns.
//
// An alert concerns a series when every label the two both have agrees and they share at
// least one label that says what is watched: any label but `alertname`, `alertstate`,
// `severity` and `__name__` (`instance`, `job`, `device`, ...). So an alert of
// {instance="host3", job="node"} concerns `node_load1{instance="host3", job="node"}` and
// `sum by (job) (...)`'s {job="node"}, but neither host1's series nor a sum without labels.
#include <QNetworkAccessManager>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include "HttpFetch.h"
#include "Source.h"
#include "SourceKind.h"

namespace kyvdash {

// The field of a prometheus-alerts source.
inline constexpr const char* kFiringField = "firing";

// The firing alerts of an answer of /api/v1/alerts, each as a series of its labels whose
// value is the alert's. None, with what the server said or what is wrong in `problem`, when
// the answer is not a list of alerts.
std::vector<Series> firingAlerts(const QByteArray& answer, QString* problem);

// Whether the alert with labels `alert` concerns the series with labels `series` (above).
bool alertConcerns(const Labels& alert, const Labels& series);

// The names of the alerts of `firing` that concern a series (or a block of them) labelled
// `labels`, each once, in natural order; empty when none does.
QStringList alertsFiringFor(const std::vector<Series>& firing, const Labels& labels);

// What a label shows of `firing`: "2 firing: HostDown (host3), HighLoad (host1, host2)",
// each alert by its name and what it is about (its instance, device or job), or
// "no alert firing".
QString firingText(const std::vector<Series>& firing);

class PromAlertsSource : public Source {
  Q_OBJECT

 public:
  PromAlertsSource(QString name, QUrl server, std::chrono::milliseconds interval, std::chrono::milliseconds timeout,
                   QObject* parent = nullptr);
  void start() override;
  // The most bytes an answer may have.
  void setMaxAnswer(qint64 bytes) { fetch_.setMaxBytes(bytes); }

 private:
  void ask();
  void answered(const HttpAnswer& answer);

  QUrl endpoint_;
  std::chrono::milliseconds timeout_;
  QNetworkAccessManager network_;
  HttpFetch fetch_{network_};
  QTimer timer_;
};

// A Prometheus server's alerts as a layout gives them; their feeds go stale after three
// rounds without an answer unless they say otherwise.
struct PrometheusAlertsSettings final : SourceSettings {
  HttpSettings http;
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const override;
  QString fieldProblem(const QString& field) const override;
  std::optional<double> staleAfter() const override { return 3 * http.interval; }
  SeriesKind seriesKind() const override { return SeriesKind::Alerts; }
};

}  // namespace kyvdash
