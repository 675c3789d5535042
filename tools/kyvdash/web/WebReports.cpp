#include "WebReports.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "Dashboard.h"
#include "Runner.h"

namespace kyvdash {
namespace {

void metric(QByteArray& out, const char* name, const char* type, const char* help) {
  out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

void sample(QByteArray& out, const char* name, quint64 value, const QByteArray& labels = {}) {
  out += name;
  if (!labels.isEmpty()) out += '{' + labels + '}';
  out += ' ' + QByteArray::number(value) + '\n';
}

// A reading as JSON: a finite number as a number, any other text as it was fed.
QJsonValue readingValue(const QString& value) {
  bool ok = false;
  const double number = value.trimmed().toDouble(&ok);
  return ok && std::isfinite(number) ? QJsonValue(number) : QJsonValue(value);
}

}  // namespace

QByteArray promLabel(const QString& value) {
  QByteArray out;
  for (const char c : value.toUtf8()) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

QByteArray readingsJson(const Runner& runner) {
  QJsonArray controls;
  if (const Dashboard* d = runner.dashboard()) {
    const qint64 now = runner.now();
    for (int i = 0; i < d->count(); ++i) {
      const LayoutControl& c = d->layout().controls[i];
      const Runner::Fed fed = runner.fed(i);
      QJsonObject o{{QStringLiteral("name"), c.name},
                    {QStringLiteral("class"), c.className},
                    {QStringLiteral("stale"), d->isStale(i)},
                    {QStringLiteral("alerting"), d->isAlerting(i)}};
      if (!c.feeds.empty()) {
        o.insert(QStringLiteral("source"), c.feeds.front().source);
        o.insert(QStringLiteral("field"), c.feeds.front().field);
      }
      // A control of a block that is down shows no reading: what it last had is not true now.
      const bool shown = fed.at >= 0 && !d->isDown(i);
      o.insert(QStringLiteral("down"), d->isDown(i));
      o.insert(QStringLiteral("value"), shown ? readingValue(fed.value) : QJsonValue());
      o.insert(QStringLiteral("age"), shown ? QJsonValue((now - fed.at) / 1000.0) : QJsonValue());
      controls.append(o);
    }
  }
  const QJsonObject doc{{QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
                        {QStringLiteral("controls"), controls}};
  return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

QByteArray metricsText(const Runner& runner, const WebCounters& c) {
  QByteArray out;
  const Runner::Health& h = runner.health();
  metric(out, "kyvdash_source_up", "gauge", "1 when the source has read since its last failure.");
  for (const auto& [name, up] : h.sourceUp) sample(out, "kyvdash_source_up", up, "source=\"" + promLabel(name) + '"');
  metric(out, "kyvdash_source_errors_total", "counter", "Failures the sources reported (scrapes, reads, commands).");
  sample(out, "kyvdash_source_errors_total", h.sourceErrors);
  metric(out, "kyvdash_actions_run_total", "counter", "Actions the controls' events ran.");
  sample(out, "kyvdash_actions_run_total", h.actionsRun);
  int stale = 0, controls = 0;
  if (const Dashboard* d = runner.dashboard()) {
    controls = d->count();
    for (int i = 0; i < controls; ++i) stale += d->isStale(i);
  }
  metric(out, "kyvdash_controls", "gauge", "Controls on the screen.");
  sample(out, "kyvdash_controls", controls);
  metric(out, "kyvdash_controls_stale", "gauge", "Controls marked stale.");
  sample(out, "kyvdash_controls_stale", stale);
  metric(out, "kyvdash_viewers", "gauge", "Live pages connected.");
  sample(out, "kyvdash_viewers", c.viewers);
  metric(out, "kyvdash_viewers_refused_total", "counter", "Live pages refused (too many, wrong token).");
  sample(out, "kyvdash_viewers_refused_total", c.viewersRefused);
  metric(out, "kyvdash_viewers_dropped_total", "counter", "Live pages closed for falling behind.");
  sample(out, "kyvdash_viewers_dropped_total", c.viewersDropped);
  metric(out, "kyvdash_frames_sent_total", "counter", "Frame messages sent, counted once a page.");
  sample(out, "kyvdash_frames_sent_total", c.framesSent);
  metric(out, "kyvdash_frames_skipped_total", "counter", "Frames a page that fell behind did not get.");
  sample(out, "kyvdash_frames_skipped_total", c.framesSkipped);
  metric(out, "kyvdash_bytes_sent_total", "counter", "Bytes of messages sent to live pages.");
  sample(out, "kyvdash_bytes_sent_total", c.bytesSent);
  metric(out, "kyvdash_http_requests_total", "counter", "HTTP requests answered.");
  sample(out, "kyvdash_http_requests_total", c.requests);
  metric(out, "kyvdash_http_requests_forbidden_total", "counter",
         "Requests refused for the name they were addressed to or the page that sent them.");
  sample(out, "kyvdash_http_requests_forbidden_total", c.requestsForbidden);
  metric(out, "kyvdash_http_connections_refused_total", "counter",
         "Connections refused or closed for a limit (too many, too large, too slow).");
  sample(out, "kyvdash_http_connections_refused_total", c.connectionsRefused);
  return out;
}

}  // namespace kyvdash
