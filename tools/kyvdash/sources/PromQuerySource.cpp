#include "PromQuerySource.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <limits>
#include <nlohmann/json.hpp>

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

std::optional<double> queryValue(const QByteArray& answer, QString* problem, int* series) {
  *series = 0;
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
  const json data = doc.value("data", json::object());
  const std::string type = data.value("resultType", std::string());
  const json result = data.value("result", json());
  if (type == "scalar") {
    *series = 1;
    if (std::optional<double> v = sampleValue(result)) return v;
  } else if (type == "vector" && result.is_array()) {
    *series = static_cast<int>(result.size());
    if (result.empty()) {
      *problem = QStringLiteral("no data");
      return std::nullopt;
    }
    if (result[0].is_object() && result[0].contains("value"))
      if (std::optional<double> v = sampleValue(result[0]["value"])) return v;
  } else {
    *problem = QStringLiteral("gives a %1, not a number or an instant vector").arg(QString::fromStdString(type));
    return std::nullopt;
  }
  *problem = QStringLiteral("the answer holds no value");
  return std::nullopt;
}

PromQuerySource::PromQuerySource(QString name, QUrl server, std::chrono::milliseconds interval,
                                 std::chrono::milliseconds timeout, QObject* parent)
    : Source(std::move(name), parent), endpoint_(std::move(server)), timeout_(timeout) {
  endpoint_.setPath(endpoint_.path().chopped(endpoint_.path().endsWith(u'/') ? 1 : 0) +
                    QStringLiteral("/api/v1/query"));
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, &PromQuerySource::ask);
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] {
    roundFailure_ = QStringLiteral("queries to %1 timed out after %2 s")
                        .arg(endpoint_.toDisplayString())
                        .arg(double(timeout_.count()) / 1000.0);
    abortAll();
  });
}

PromQuerySource::~PromQuerySource() {
  for (Query& q : queries_) {
    if (!q.reply) continue;
    q.reply->disconnect(this);
    q.reply->abort();
    q.reply->deleteLater();
  }
}

void PromQuerySource::want(const QString& field) {
  for (const Query& q : queries_)
    if (q.expression == field) return;
  queries_.emplace_back().expression = field;
}

void PromQuerySource::start() {
  timer_.start();
  ask();
}

void PromQuerySource::abortAll() {
  for (Query& q : queries_)
    if (q.reply) q.reply->abort();
}

void PromQuerySource::ask() {
  if (pending_ > 0 || queries_.empty()) return;  // the last round is still running: its deadline ends it
  roundFailure_.clear();
  deadline_.start(timeout_);
  for (Query& q : queries_) {
    QUrl url = endpoint_;
    url.setQuery(QStringLiteral("query=") + QString::fromLatin1(QUrl::toPercentEncoding(q.expression)));
    q.answer.clear();
    q.tooLarge = false;
    q.reply = network_.get(QNetworkRequest(url));
    ++pending_;
    connect(q.reply, &QNetworkReply::readyRead, this, [this, &q] { take(q); });
    connect(q.reply, &QNetworkReply::finished, this, [this, &q] { answered(q); });
  }
}

// What has arrived is counted before it is read, so that an answer is never held beyond
// its limit, however it arrives: in one piece or in many.
void PromQuerySource::take(Query& q) {
  if (q.tooLarge) return;
  if (q.answer.size() + q.reply->bytesAvailable() <= maxAnswer_) {
    q.answer += q.reply->readAll();
    return;
  }
  q.tooLarge = true;
  q.answer.clear();
  q.reply->abort();
}

void PromQuerySource::answered(Query& q) {
  take(q);
  QNetworkReply* reply = std::exchange(q.reply, nullptr);
  reply->deleteLater();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  // The API answers a query it refuses with 400 or 422 and its reason in JSON.
  const bool apiAnswer =
      (status == 200 || status == 400 || status == 422) && reply->error() != QNetworkReply::OperationCanceledError;
  if (q.tooLarge && roundFailure_.isEmpty())
    roundFailure_ = QStringLiteral("an answer of %1 is larger than its limit of %2 MB")
                        .arg(endpoint_.toDisplayString())
                        .arg(double(maxAnswer_) / 1e6);
  else if (!apiAnswer && roundFailure_.isEmpty())
    roundFailure_ = status > 0
                        ? QStringLiteral("cannot query %1: HTTP %2 %3")
                              .arg(endpoint_.toDisplayString())
                              .arg(status)
                              .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                        : QStringLiteral("cannot query %1: %2").arg(endpoint_.toDisplayString(), reply->errorString());
  if (apiAnswer && !q.tooLarge) {
    QString problem;
    int series = 0;
    const std::optional<double> value = queryValue(q.answer, &problem, &series);
    if (value && series > 1) problem = QStringLiteral("gives %1 series; the first is shown").arg(series);
    if (!problem.isEmpty() && problem != q.reported)
      emit this->problem(QStringLiteral("query %1: %2").arg(q.expression, problem));
    q.reported = problem;
    if (value) emit reading(q.expression, *value);
  }
  if (--pending_ == 0) roundDone();
}

void PromQuerySource::roundDone() {
  deadline_.stop();
  if (roundFailure_.isEmpty()) return succeed();
  timer_.stop();
  fail(roundFailure_, [this] { start(); });
}

}  // namespace kyvdash
