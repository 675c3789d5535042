#pragma once
// One HTTP GET at a time, bounded: the answer is read as it comes and no further than its
// limit (an announced Content-Length above it ends the request before its body is read),
// and a request that takes longer than its timeout is ended. Every source that reads a
// server goes through it, so that all of them keep the same bounds and say the same of a
// server that fails.
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>

#include "SourceKind.h"

class QNetworkReply;

namespace kyvdash {

// What a request came to.
struct HttpAnswer {
  enum class Ending { Answered, TimedOut, TooLarge, Failed };
  Ending ending = Ending::Failed;
  int status = 0;   // the server's HTTP status; 0 when none came
  QString reason;   // the status's reason phrase, or what went wrong on the way
  QByteArray body;  // whole when Answered; empty else
  // The server's status for a message ("HTTP 500 Internal Server Error"), or, when none
  // came, the network's own words ("Connection refused").
  QString failure() const;
};

class HttpFetch : public QObject {
  Q_OBJECT

 public:
  explicit HttpFetch(QNetworkAccessManager& network, QObject* parent = nullptr);
  // A request in flight is ended without an answer.
  ~HttpFetch() override;

  // The most bytes an answer may have.
  void setMaxBytes(qint64 bytes) { maxBytes_ = bytes; }
  qint64 maxBytes() const { return maxBytes_; }
  // Sends `request`; `answered` follows once, at the latest after `timeout`. A request
  // still in flight is ended first, without an answer.
  void get(const QNetworkRequest& request, std::chrono::milliseconds timeout);
  bool busy() const { return !reply_.isNull(); }

 signals:
  void answered(const kyvdash::HttpAnswer& answer);

 private:
  void readSome();
  void end(HttpAnswer::Ending why);
  void finished();
  void drop();

  QNetworkAccessManager& network_;
  QPointer<QNetworkReply> reply_;
  QTimer deadline_;
  qint64 maxBytes_ = 10'000'000;
  QByteArray body_;
  std::optional<HttpAnswer::Ending> ended_;  // set when the request was cut short
};

// The settings every source that reads a server takes from a layout: its address, how
// often it is read, how long a request may take and how many megabytes an answer may have.
struct HttpSettings {
  QString url;
  double interval = 5;  // seconds between two reads
  double timeout = 5;   // seconds a request may take
  double limit = 10;    // megabytes (10^6 bytes) an answer may have
};
HttpSettings readHttpSettings(const nlohmann::json& source, const FieldReader& fields);

// The kind named `name` of a source that reads a server: its `Settings` take nothing but
// the HTTP settings above, in their member `http`.
template <class Settings>
SourceKind httpSourceKind(QString name) {
  return {std::move(name), [](const nlohmann::json& source, const FieldReader& fields) {
            auto settings = std::make_unique<Settings>();
            settings->http = readHttpSettings(source, fields);
            return std::unique_ptr<SourceSettings>(std::move(settings));
          }};
}

}  // namespace kyvdash
