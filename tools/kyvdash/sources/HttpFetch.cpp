#include "HttpFetch.h"

#include <QNetworkReply>
#include <QUrl>

#include "FieldReader.h"

namespace kyvdash {
namespace {

// A failure of the connection or of a proxy, as opposed to an answer the server gave (an
// HTTP error status): what came of the body may be cut short.
bool brokenOnTheWay(QNetworkReply::NetworkError error) {
  return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

}  // namespace

QString HttpAnswer::failure() const {
  if (status > 0) return QStringLiteral("HTTP %1%2").arg(status).arg(reason.isEmpty() ? QString() : u' ' + reason);
  return reason;
}

HttpFetch::HttpFetch(QNetworkAccessManager& network, QObject* parent) : QObject(parent), network_(network) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] { end(HttpAnswer::Ending::TimedOut); });
}

HttpFetch::~HttpFetch() { drop(); }

void HttpFetch::drop() {
  deadline_.stop();
  if (!reply_) return;
  QNetworkReply* reply = reply_;
  reply_.clear();
  reply->disconnect(this);
  reply->abort();
  reply->deleteLater();
}

void HttpFetch::get(const QNetworkRequest& request, std::chrono::milliseconds timeout) {
  drop();
  body_.clear();
  ended_.reset();
  reply_ = network_.get(request);
  deadline_.start(timeout);
  connect(reply_, &QNetworkReply::readyRead, this, &HttpFetch::readSome);
  connect(reply_, &QNetworkReply::finished, this, &HttpFetch::finished);
}

// What has arrived is counted before it is read, however it arrives: in one piece or in
// many, announced or not.
void HttpFetch::readSome() {
  if (ended_) return;
  const qint64 announced = reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong();
  if (announced > maxBytes_ || body_.size() + reply_->bytesAvailable() > maxBytes_)
    return end(HttpAnswer::Ending::TooLarge);
  body_ += reply_->readAll();
}

void HttpFetch::end(HttpAnswer::Ending why) {
  if (!reply_ || ended_) return;
  ended_ = why;
  body_.clear();
  reply_->abort();  // finished() follows
}

void HttpFetch::finished() {
  deadline_.stop();
  QNetworkReply* reply = reply_;
  readSome();
  reply_.clear();
  reply->deleteLater();
  HttpAnswer answer;
  answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  answer.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
  if (ended_) {
    answer.ending = *ended_;
  } else if (reply->error() == QNetworkReply::NoError || (answer.status > 0 && !brokenOnTheWay(reply->error()))) {
    answer.ending = HttpAnswer::Ending::Answered;
    answer.body = std::exchange(body_, QByteArray());
  } else {
    answer.reason = reply->errorString();
  }
  emit answered(answer);
}

HttpSettings readHttpSettings(const nlohmann::json& j, const FieldReader& p) {
  HttpSettings s;
  p.unknownMembers(j, {}, {"type", "url", "interval", "timeout", "limit"});
  s.interval = p.number(j, "interval", QStringLiteral("interval"), 0.1, kMaxSeconds).value_or(s.interval);
  s.limit = p.number(j, "limit", QStringLiteral("limit"), 0, 10000, true).value_or(s.limit);
  s.timeout = p.number(j, "timeout", QStringLiteral("timeout"), 0.1, 600).value_or(std::min(10.0, s.interval));
  s.url = p.string(j, "url", QStringLiteral("url"), true).value_or(QString());
  const QUrl url(s.url, QUrl::StrictMode);
  if (!s.url.isEmpty() &&
      (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
       url.host().isEmpty()))
    p.add(QStringLiteral("url"), QStringLiteral("must be an http:// or https:// address"));
  return s;
}

}  // namespace kyvdash
