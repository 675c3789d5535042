#include "PromQuerySource.h"

#include <QNetworkRequest>
#include <limits>
#include <nlohmann/json.hpp>

#include "SourceKind.h"

namespace kyvdash {
namespace {

using nlohmann::json;

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

}  // namespace

std::vector<Series> querySeries(const QByteArray& answer, QString* problem) {
  const json doc = json::parse(answer.begin(), answer.end(), nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("status")) {
    *problem = QStringLiteral("the answer is not the JSON of the Prometheus HTTP API");
    return {};
  }
  if (doc["status"] != "success") {
    const std::string type = doc.value("errorType", std::string("error")), error = doc.value("error", std::string());
    *problem = QStringLiteral("%1: %2").arg(QString::fromStdString(type), QString::fromStdString(error));
    return {};
  }
  const json data = doc.value("data", json::object());
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

PromQuerySource::PromQuerySource(QString name, QUrl server, std::chrono::milliseconds interval,
                                 std::chrono::milliseconds timeout, QObject* parent)
    : Source(std::move(name), parent), endpoint_(std::move(server)), timeout_(timeout) {
  endpoint_.setPath(endpoint_.path().chopped(endpoint_.path().endsWith(u'/') ? 1 : 0) +
                    QStringLiteral("/api/v1/query"));
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, &PromQuerySource::ask);
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
  for (Query& q : queries_) q.fetch->setMaxBytes(bytes);
}

void PromQuerySource::start() {
  timer_.start();
  ask();
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
  const QString endpoint = endpoint_.toDisplayString();
  if (!apiAnswer && roundFailure_.isEmpty()) {
    switch (answer.ending) {
      case HttpAnswer::Ending::TimedOut:
        roundFailure_ =
            QStringLiteral("queries to %1 timed out after %2 s").arg(endpoint).arg(double(timeout_.count()) / 1000.0);
        break;
      case HttpAnswer::Ending::TooLarge:
        roundFailure_ = QStringLiteral("an answer of %1 is larger than its limit of %2 MB")
                            .arg(endpoint)
                            .arg(double(maxAnswer_) / 1e6);
        break;
      case HttpAnswer::Ending::Answered:
      case HttpAnswer::Ending::Failed:
        roundFailure_ = QStringLiteral("cannot query %1: %2").arg(endpoint, answer.failure());
    }
  }
  if (apiAnswer) {
    QString problem;
    const std::vector<Series> all = querySeries(answer.body, &problem);
    if (all.size() > 1 && !q.allSeries) problem = QStringLiteral("gives %1 series; the first is shown").arg(all.size());
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

void PromQuerySource::roundDone() {
  if (roundFailure_.isEmpty()) return succeed();
  timer_.stop();
  fail(roundFailure_, [this] { start(); });
}

std::unique_ptr<Source> PrometheusQuerySettings::make(const QString& name, const SourceNeeds&) const {
  auto q =
      std::make_unique<PromQuerySource>(name, QUrl(http.url), fromSeconds(http.interval), fromSeconds(http.timeout));
  q->setMaxAnswer(static_cast<qint64>(http.limit * 1e6));
  return q;
}

SourceKind prometheusQuerySourceKind() {
  return {QStringLiteral("prometheus-query"), [](const nlohmann::json& j, const FieldReader& p) {
            auto s = std::make_unique<PrometheusQuerySettings>();
            s->http = readHttpSettings(j, p);
            return s;
          }};
}

}  // namespace kyvdash
