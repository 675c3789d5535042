#include "PromQuerySource.h"

#include <QDateTime>
#include <QEventLoop>
#include <QNetworkRequest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "SourceKind.h"

namespace kyvdash {
namespace {

using nlohmann::json;

// The most points of a series a Prometheus server gives in one range query's answer.
constexpr int kMostPointsAsked = 11'000;

// A sample's value as the API writes it: [time, "text"], the text a float or NaN, +Inf, -Inf.
std::optional<double> sampleValue(const json& pair) {
  if (!pair.is_array() || pair.size() != 2 || !pair[1].is_string()) return std::nullopt;
  const QString text = QString::fromStdString(pair[1].get<std::string>());
  if (text == QLatin1String("NaN")) return std::numeric_limits<double>::quiet_NaN();
  if (text == QLatin1String("+Inf")) return std::numeric_limits<double>::infinity();
  if (text == QLatin1String("-Inf")) return -std::numeric_limits<double>::infinity();
  bool ok = false;
  const double v = text.toDouble(&ok);
  return ok ? std::optional<double>(v) : std::nullopt;
}

// The answer's data when the API says it succeeded; else null, with the server's words or
// what is wrong in `problem`.
std::optional<json> apiData(const QByteArray& answer, QString* problem) {
  const json doc = json::parse(answer.begin(), answer.end(), nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("status")) {
    *problem = QStringLiteral("the answer is not the JSON of the Prometheus HTTP API");
    return std::nullopt;
  }
  if (doc["status"] != "success") {
    const std::string type = doc.value("errorType", std::string("error")), error = doc.value("error", std::string());
    *problem = QStringLiteral("%1: %2").arg(QString::fromStdString(type), QString::fromStdString(error));
    return std::nullopt;
  }
  return doc.value("data", json::object());
}

}  // namespace

std::vector<TimedReading> rangeReadings(const QByteArray& answer, QString* problem) {
  const std::optional<json> data = apiData(answer, problem);
  if (!data) return {};
  const json result = data->value("result", json());
  if (data->value("resultType", std::string()) != "matrix" || !result.is_array()) {
    *problem = QStringLiteral("the answer is not a range of samples");
    return {};
  }
  std::vector<TimedReading> readings;
  const json values = result.empty() || !result[0].is_object() ? json::array() : result[0].value("values", json());
  for (const json& pair : values.is_array() ? values : json::array()) {
    const std::optional<double> v = sampleValue(pair);
    if (!v || std::isnan(*v) || !pair[0].is_number()) continue;
    const qint64 at = std::llround(pair[0].get<double>() * 1000);
    if (!readings.empty() && at <= readings.back().at) continue;  // oldest first, each time once
    readings.push_back({at, *v});
  }
  if (readings.empty()) *problem = QStringLiteral("no data");
  return readings;
}

std::vector<Series> querySeries(const QByteArray& answer, QString* problem) {
  const std::optional<json> apiAnswer = apiData(answer, problem);
  if (!apiAnswer) return {};
  const json& data = *apiAnswer;
  const std::string type = data.value("resultType", std::string());
  const json result = data.value("result", json());
  std::vector<Series> all;
  if (type == "scalar") {
    if (std::optional<double> v = sampleValue(result)) all.push_back({{}, *v});
  } else if (type == "vector" && result.is_array()) {
    if (result.empty()) {
      *problem = kNoData;
      return {};
    }
    for (const json& entry : result) {
      if (!entry.is_object()) continue;
      std::optional<double> v = sampleValue(entry.value("value", json()));
      if (!v) continue;
      Series& s = all.emplace_back(Series{{}, *v});
      // Held in a variable: items() of a temporary would outlive it in the loop.
      const json metric = entry.value("metric", json::object());
      for (const auto& [name, text] : metric.items())
        if (text.is_string()) s.labels[QString::fromStdString(name)] = QString::fromStdString(text.get<std::string>());
    }
  } else {
    *problem = QStringLiteral("gives a %1, not a number or an instant vector").arg(QString::fromStdString(type));
    return {};
  }
  if (all.empty()) *problem = QStringLiteral("the answer holds no value");
  return all;
}

QUrl queryUrl(const QUrl& server, const QString& expression) {
  QUrl url = server;
  url.setPath(url.path().chopped(url.path().endsWith(u'/') ? 1 : 0) + QStringLiteral("/api/v1/query"));
  url.setQuery(QStringLiteral("query=") + QString::fromLatin1(QUrl::toPercentEncoding(expression)));
  return url;
}

std::map<QString, std::vector<Series>> askOnce(const QUrl& server, const QStringList& expressions,
                                               std::chrono::milliseconds timeout, QString* failure) {
  QNetworkAccessManager network;
  std::vector<std::unique_ptr<HttpFetch>> fetches;
  std::map<QString, std::vector<Series>> found;
  QEventLoop loop;
  int pending = 0;
  for (const QString& expression : expressions) {
    auto& fetch = fetches.emplace_back(std::make_unique<HttpFetch>(network));
    QObject::connect(fetch.get(), &HttpFetch::answered, &loop, [&, expression](const HttpAnswer& a) {
      if (a.ending == HttpAnswer::Ending::Answered && a.status == 200) {
        QString problem;
        found[expression] = querySeries(a.body, &problem);
      } else if (const bool refused = a.status == 400 || a.status == 422;
                 failure->isEmpty() && (a.ending != HttpAnswer::Ending::Answered || !refused)) {
        *failure = a.ending == HttpAnswer::Ending::TimedOut
                       ? QStringLiteral("no answer within %1 s").arg(double(timeout.count()) / 1000.0)
                       : a.failure();
      }
      if (--pending == 0) loop.quit();
    });
    ++pending;
    fetch->get(QNetworkRequest(queryUrl(server, expression)), timeout);
  }
  if (pending > 0) loop.exec();
  if (!failure->isEmpty()) found.clear();
  return found;
}

PromQuerySource::PromQuerySource(QString name, QUrl server, std::chrono::milliseconds interval,
                                 std::chrono::milliseconds timeout, QObject* parent)
    : Source(std::move(name), parent), endpoint_(std::move(server)), timeout_(timeout), interval_(interval) {
  const QString base = endpoint_.path().chopped(endpoint_.path().endsWith(u'/') ? 1 : 0);
  ready_ = endpoint_;
  ready_.setPath(base + QStringLiteral("/-/ready"));
  endpoint_.setPath(base + QStringLiteral("/api/v1/query"));
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, &PromQuerySource::tick);
  probe_.setMaxBytes(maxAnswer_);
  connect(&probe_, &HttpFetch::answered, this, &PromQuerySource::probed);
}

void PromQuerySource::want(const QString& field) {
  for (const Query& q : queries_)
    if (q.expression == field) return;
  Query& q = queries_.emplace_back();
  q.expression = field;
  q.fetch = std::make_unique<HttpFetch>(network_);
  q.fetch->setMaxBytes(maxAnswer_);
  connect(q.fetch.get(), &HttpFetch::answered, this, [this, &q](const HttpAnswer& a) { answered(q, a); });
}

void PromQuerySource::wantSeries(const QString& field) {
  want(field);
  for (Query& q : queries_)
    if (q.expression == field) q.allSeries = true;
}

void PromQuerySource::setMaxAnswer(qint64 bytes) {
  maxAnswer_ = bytes;
  probe_.setMaxBytes(bytes);
  for (Query& q : queries_) q.fetch->setMaxBytes(bytes);
}

void PromQuerySource::start() {
  timer_.start();
  ask();
}

void PromQuerySource::tick() {
  if (isDown()) return probe();
  ask();
}

// One request, of which the server does next to nothing: its readiness check, or, on a
// server of the API that has none, the query `1`, whose answer is a constant.
void PromQuerySource::probe() {
  if (probe_.busy() || pending_ > 0) return;  // the last probe or round is still running: its timeout ends it
  probe_.get(QNetworkRequest(probeUrl()), timeout_);
}

QUrl PromQuerySource::probeUrl() const {
  if (hasReady_) return ready_;
  QUrl url = endpoint_;
  url.setQuery(QStringLiteral("query=1"));
  return url;
}

void PromQuerySource::probed(const HttpAnswer& answer) {
  const bool answered = answer.ending == HttpAnswer::Ending::Answered;
  if (answered && answer.status == 200) return ask();
  if (answered && answer.status == 404 && hasReady_) {
    hasReady_ = false;
    return probe();
  }
  goneDown(failure(answer));
}

QString PromQuerySource::failure(const HttpAnswer& answer) const {
  const QString endpoint = endpoint_.toDisplayString();
  switch (answer.ending) {
    case HttpAnswer::Ending::TimedOut:
      return QStringLiteral("queries to %1 timed out after %2 s").arg(endpoint).arg(double(timeout_.count()) / 1000.0);
    case HttpAnswer::Ending::TooLarge:
      return QStringLiteral("an answer of %1 is larger than its limit of %2 MB")
          .arg(endpoint)
          .arg(double(maxAnswer_) / 1e6);
    case HttpAnswer::Ending::Answered:
    case HttpAnswer::Ending::Failed: break;
  }
  return QStringLiteral("cannot query %1: %2").arg(endpoint, answer.failure());
}

void PromQuerySource::goneDown(const QString& what) {
  down(QStringLiteral("%1; probing %2 every %3 s")
           .arg(what, probeUrl().toDisplayString())
           .arg(double(timer_.interval()) / 1000.0));
}

void PromQuerySource::ask() {
  if (pending_ > 0 || queries_.empty()) return;  // the last round is still running: its timeout ends it
  roundFailure_.clear();
  for (Query& q : queries_) {
    QUrl url = endpoint_;
    url.setQuery(QStringLiteral("query=") + QString::fromLatin1(QUrl::toPercentEncoding(q.expression)));
    ++pending_;
    q.fetch->get(QNetworkRequest(url), timeout_);
  }
}

void PromQuerySource::answered(Query& q, const HttpAnswer& answer) {
  // The API answers a query it refuses with 400 or 422 and its reason in JSON.
  const bool apiAnswer = answer.ending == HttpAnswer::Ending::Answered &&
                         (answer.status == 200 || answer.status == 400 || answer.status == 422);
  if (!apiAnswer && roundFailure_.isEmpty()) roundFailure_ = failure(answer);
  if (apiAnswer) {
    QString problem;
    const std::vector<Series> all = querySeries(answer.body, &problem);
    if (q.allSeries && problem == kNoData) problem.clear();
    if (!problem.isEmpty() && problem != q.reported)
      emit this->problem(QStringLiteral("query %1: %2").arg(q.expression, problem));
    q.reported = problem;
    if (all.empty() && q.allSeries && problem.isEmpty()) emit series(q.expression, all);
    if (!all.empty()) {
      emit series(q.expression, all);
      emit reading(q.expression, all.front().value);
    }
  }
  if (--pending_ == 0) roundDone();
}

bool PromQuerySource::askPast(const QString& field, int count) {
  if (count < 1 || interval_.count() <= 0) return false;
  count = std::min(count, kMostPointsAsked);
  const qint64 step = interval_.count();
  const qint64 end = QDateTime::currentMSecsSinceEpoch() - step;
  const qint64 start = end - (count - 1) * step;
  const auto seconds = [](qint64 ms) { return QString::number(double(ms) / 1000.0, 'f', 3); };
  QUrl url = endpoint_;
  url.setPath(url.path() + QStringLiteral("_range"));
  url.setQuery(
      QStringLiteral("query=%1&start=%2&end=%3&step=%4")
          .arg(QString::fromLatin1(QUrl::toPercentEncoding(field)), seconds(start), seconds(end), seconds(step)));
  auto* fetch = new HttpFetch(network_, this);
  fetch->setMaxBytes(maxAnswer_);
  connect(fetch, &HttpFetch::answered, this, [this, fetch, field](const HttpAnswer& a) {
    fetch->deleteLater();
    pastAnswered(field, a);
  });
  fetch->get(QNetworkRequest(url), timeout_);
  return true;
}

// A server that cannot be reached is the live round's to report; a range it refuses or
// answers wrongly is reported here.
void PromQuerySource::pastAnswered(const QString& field, const HttpAnswer& answer) {
  if (answer.ending != HttpAnswer::Ending::Answered) return;
  if (answer.status != 200 && answer.status != 400 && answer.status != 422) return;
  QString problem;
  const std::vector<TimedReading> readings = rangeReadings(answer.body, &problem);
  if (!readings.empty()) return emit past(field, readings, interval_.count());
  if (problem != QLatin1String("no data")) emit this->problem(QStringLiteral("query_range %1: %2").arg(field, problem));
}

void PromQuerySource::roundDone() {
  if (roundFailure_.isEmpty()) return succeed();
  goneDown(roundFailure_);
}

std::unique_ptr<Source> PrometheusQuerySettings::make(const QString& name, const SourceNeeds&) const {
  auto q =
      std::make_unique<PromQuerySource>(name, QUrl(http.url), fromSeconds(http.interval), fromSeconds(http.timeout));
  q->setMaxAnswer(static_cast<qint64>(http.limit * 1e6));
  return q;
}

SourceKind prometheusQuerySourceKind() {
  return httpSourceKind<PrometheusQuerySettings>(QStringLiteral("prometheus-query"));
}

}  // namespace kyvdash
