#include "PromAlertsSource.h"

#include <QNetworkRequest>
#include <map>
#include <nlohmann/json.hpp>

#include "SeriesPick.h"

namespace kyvdash {
namespace {

using nlohmann::json;

QString text(const json& v) { return v.is_string() ? QString::fromStdString(v.get<std::string>()) : QString(); }

// Labels that say what an alert is, not what it watches.
bool identifies(const QString& label) {
  return label != QLatin1String("alertname") && label != QLatin1String("alertstate") &&
         label != QLatin1String("severity") && label != QLatin1String("__name__");
}

// What an alert is about, for a line that lists it: its instance, device or job.
QString subject(const Labels& labels) {
  for (const char* name : {"instance", "device", "job"}) {
    const auto at = labels.find(QLatin1String(name));
    if (at != labels.end()) return at->second;
  }
  return {};
}

}  // namespace

std::vector<Series> firingAlerts(const QByteArray& answer, QString* problem) {
  const json doc = json::parse(answer.begin(), answer.end(), nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("status")) {
    *problem = QStringLiteral("the answer is not the JSON of the Prometheus HTTP API");
    return {};
  }
  if (doc["status"] != "success") {
    *problem =
        QStringLiteral("%1: %2").arg(text(doc.value("errorType", json("error"))), text(doc.value("error", json())));
    return {};
  }
  const json alerts = doc.value("data", json::object()).value("alerts", json());
  if (!alerts.is_array()) {
    *problem = QStringLiteral("the answer holds no list of alerts");
    return {};
  }
  std::vector<Series> firing;
  for (const json& alert : alerts) {
    if (!alert.is_object() || alert.value("state", json()) != "firing") continue;
    Series& s = firing.emplace_back();
    s.value = text(alert.value("value", json())).toDouble();
    const json labels = alert.value("labels", json::object());  // items() does not keep a temporary
    for (const auto& [name, value] : labels.items())
      if (value.is_string()) s.labels[QString::fromStdString(name)] = text(value);
  }
  return firing;
}

bool alertConcerns(const Labels& alert, const Labels& series) {
  bool shared = false;
  for (const auto& [name, value] : alert) {
    if (name == QLatin1String("__name__")) continue;
    const auto at = series.find(name);
    if (at == series.end()) continue;
    if (at->second != value) return false;
    shared = shared || identifies(name);
  }
  return shared;
}

QStringList alertsFiringFor(const std::vector<Series>& firing, const Labels& labels) {
  QStringList names;
  for (const Series& alert : firing) {
    if (!alertConcerns(alert.labels, labels)) continue;
    const auto name = alert.labels.find(QStringLiteral("alertname"));
    const QString shown = name == alert.labels.end() ? QStringLiteral("(unnamed)") : name->second;
    if (!names.contains(shown)) names << shown;
  }
  std::sort(names.begin(), names.end(), naturalLess);
  return names;
}

QString firingText(const std::vector<Series>& firing) {
  if (firing.empty()) return QStringLiteral("no alert firing");
  std::map<QString, QStringList> subjects;  // by alert name
  for (const Series& alert : firing) {
    const auto name = alert.labels.find(QStringLiteral("alertname"));
    QStringList& of = subjects[name == alert.labels.end() ? QStringLiteral("(unnamed)") : name->second];
    if (const QString s = subject(alert.labels); !s.isEmpty() && !of.contains(s)) of << s;
  }
  QStringList names;
  for (const auto& [name, _] : subjects) names << name;
  std::sort(names.begin(), names.end(), naturalLess);
  QStringList parts;
  for (const QString& name : names) {
    QStringList of = subjects[name];
    std::sort(of.begin(), of.end(), naturalLess);
    parts << (of.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, of.join(QStringLiteral(", "))));
  }
  return QStringLiteral("%1 firing: %2").arg(firing.size()).arg(parts.join(QStringLiteral(", ")));
}

PromAlertsSource::PromAlertsSource(QString name, QUrl server, std::chrono::milliseconds interval,
                                   std::chrono::milliseconds timeout, QObject* parent)
    : Source(std::move(name), parent), endpoint_(std::move(server)), timeout_(timeout) {
  endpoint_.setPath(endpoint_.path().chopped(endpoint_.path().endsWith(u'/') ? 1 : 0) +
                    QStringLiteral("/api/v1/alerts"));
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, &PromAlertsSource::ask);
  connect(&fetch_, &HttpFetch::answered, this, &PromAlertsSource::answered);
}

void PromAlertsSource::start() {
  timer_.start();
  ask();
}

void PromAlertsSource::ask() {
  if (fetch_.busy()) return;  // the last request is still running: its timeout ends it
  fetch_.get(QNetworkRequest(endpoint_), timeout_);
}

void PromAlertsSource::answered(const HttpAnswer& answer) {
  const QString endpoint = endpoint_.toDisplayString();
  QString failure;
  if (answer.ending == HttpAnswer::Ending::TimedOut)
    failure = QStringLiteral("alerts of %1 timed out after %2 s").arg(endpoint).arg(double(timeout_.count()) / 1000.0);
  else if (answer.ending == HttpAnswer::Ending::TooLarge)
    failure = QStringLiteral("the alerts of %1 are larger than their limit of %2 MB")
                  .arg(endpoint)
                  .arg(double(fetch_.maxBytes()) / 1e6);
  else if (answer.ending != HttpAnswer::Ending::Answered || answer.status != 200)
    failure = QStringLiteral("cannot read the alerts of %1: %2").arg(endpoint, answer.failure());
  std::vector<Series> firing;
  if (failure.isEmpty()) {
    QString problem;
    firing = firingAlerts(answer.body, &problem);
    if (!problem.isEmpty()) failure = QStringLiteral("alerts of %1: %2").arg(endpoint, problem);
  }
  if (!failure.isEmpty()) {
    timer_.stop();
    return fail(failure, [this] { start(); });
  }
  succeed();
  const QString field = QLatin1String(kFiringField);
  emit series(field, firing);
  emit reading(field, static_cast<double>(firing.size()));
}

std::unique_ptr<Source> PrometheusAlertsSettings::make(const QString& name, const SourceNeeds&) const {
  auto source =
      std::make_unique<PromAlertsSource>(name, QUrl(http.url), fromSeconds(http.interval), fromSeconds(http.timeout));
  source->setMaxAnswer(static_cast<qint64>(http.limit * 1e6));
  return source;
}

QString PrometheusAlertsSettings::fieldProblem(const QString& field) const {
  if (field == QLatin1String(kFiringField)) return {};
  return QStringLiteral("the alerts of a server give only \"%1\"").arg(QLatin1String(kFiringField));
}

SourceKind prometheusAlertsSourceKind() {
  return httpSourceKind<PrometheusAlertsSettings>(QStringLiteral("prometheus-alerts"));
}

}  // namespace kyvdash
