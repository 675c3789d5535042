// The fleet wall of the kyvdash benchmarks: the shipped fleet layout (a block a host from
// one query) against the same wall written by hand (every block's controls and labels
// written out, named and placed as the repeat places them), both reading a Prometheus
// replayed on loopback from answers recorded of Debian's prometheus
// (data/prometheus-answers.json), for any number of hosts.
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QUrlQuery>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "Layout.h"

namespace dashbench {

// Answers /api/v1/query as the recorded server did: `up{...}` with one series a host, an
// aggregated expression (`sum(...)`, `100 * ...`) with one series without labels, any other
// selector with the host's series; the values move from one answer to the next.
class ReplayedPrometheus {
 public:
  explicit ReplayedPrometheus(int hosts) : hosts_(hosts) {
    QFile f(QStringLiteral(KYV_BENCH_DATA "/prometheus-answers.json"));
    if (!f.open(QIODevice::ReadOnly)) std::abort();
    const QByteArray text = f.readAll();
    recorded_ = nlohmann::json::parse(text.begin(), text.end());
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(*s); });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
  quint64 answers() const { return answers_; }

 private:
  void serve(QTcpSocket& s) {
    QByteArray& pending = buffers_[&s];
    pending += s.readAll();
    for (qsizetype end = pending.indexOf("\r\n\r\n"); end >= 0; end = pending.indexOf("\r\n\r\n")) {
      const QByteArray head = pending.left(end);
      pending.remove(0, end + 4);
      const QUrl target(QString::fromLatin1(head.split(' ').value(1)));
      const QByteArray body = answer(QUrlQuery(target).queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded));
      s.write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
              QByteArray::number(body.size()) + "\r\n\r\n" + body);
      ++answers_;
    }
  }

  QByteArray answer(const QString& query) {
    const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000;
    nlohmann::json a;
    if (query.startsWith(QLatin1String("up{"))) {
      a = recorded_["up"];
      nlohmann::json shape = a["data"]["result"][0], all = nlohmann::json::array();
      for (int n = 1; n <= hosts_; ++n) {
        shape["metric"]["instance"] = "host" + std::to_string(n);
        shape["value"] = {now, "1"};
        all.push_back(shape);
      }
      a["data"]["result"] = all;
      return QByteArray::fromStdString(a.dump());
    }
    static const QRegularExpression host(QStringLiteral("instance=\"(host[0-9]+)\""));
    const QString instance = host.match(query).captured(1);
    const bool aggregated = query.startsWith(QLatin1String("sum(")) || query.startsWith(QLatin1String("100 *"));
    a = recorded_[aggregated ? "aggregated" : "selector"];
    nlohmann::json& series = a["data"]["result"][0];
    if (!aggregated) series["metric"]["instance"] = instance.toStdString();
    series["value"] = {now, std::to_string((answers_ * 7 + qHash(query)) % 100)};
    return QByteArray::fromStdString(a.dump());
  }

  int hosts_;
  nlohmann::json recorded_;
  QTcpServer server_;
  std::map<QTcpSocket*, QByteArray> buffers_;
  quint64 answers_ = 0;
};

// The shipped fleet layout reading `url` every second, showing up to `hosts` blocks.
inline QByteArray fleetLayoutText(const QString& url, int hosts) {
  QFile f(QStringLiteral(KYVDASH_EXAMPLES "/fleet.json"));
  if (!f.open(QIODevice::ReadOnly)) std::abort();
  const QByteArray text = f.readAll();
  nlohmann::json doc = nlohmann::json::parse(text.begin(), text.end());
  doc["sources"]["prom"]["url"] = url.toStdString();
  doc["sources"]["prom"]["interval"] = 1;
  doc["repeat"]["max"] = hosts;
  return QByteArray::fromStdString(doc.dump(1));
}

// The same wall as `fleet` shows for `hosts` hosts, written by hand: each block's controls
// (NAME[hostN]) and labels at the places the repeat gives them, the screen's size its extent.
inline QByteArray handWrittenText(const QByteArray& fleet, int hosts) {
  QStringList errors, values;
  for (int n = 1; n <= hosts; ++n) values << QStringLiteral("host%1").arg(n);
  const kyvdash::Layout base = kyvdash::parseLayout(fleet, errors);
  const kyvdash::Layout placed = kyvdash::expandRepeat(base, values, 0, errors);
  if (!errors.isEmpty()) std::abort();
  nlohmann::json doc = nlohmann::json::parse(fleet.begin(), fleet.end());
  const nlohmann::json group = doc["repeat"];
  doc.erase("repeat");
  doc["size"] = {placed.extent().width(), placed.extent().height()};
  doc["controls"] = nlohmann::json::array();
  const auto place = [](nlohmann::json item, const QPointF& at) {
    item["rect"][0] = item["rect"][0].get<double>() + at.x();
    item["rect"][1] = item["rect"][1].get<double>() + at.y();
    return item;
  };
  for (const kyvdash::LayoutBlock& b : placed.blocks) {
    const std::string value = b.value.toStdString();
    std::string written = group.dump();
    for (size_t at = written.find("{instance}"); at != std::string::npos; at = written.find("{instance}", at))
      written.replace(at, 10, value);
    const nlohmann::json g = nlohmann::json::parse(written);
    for (nlohmann::json c : g["controls"]) {
      c["name"] = c["name"].get<std::string>() + '[' + value + ']';
      doc["controls"].push_back(place(c, b.rect.topLeft()));
    }
    for (const nlohmann::json& l : g["labels"]) doc["labels"].push_back(place(l, b.rect.topLeft()));
  }
  return QByteArray::fromStdString(doc.dump(1));
}

}  // namespace dashbench
