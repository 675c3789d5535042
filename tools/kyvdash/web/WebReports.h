#pragma once
// What kyvdash's HTTP server reports besides the picture: every control's reading as JSON,
// and kyvdash's own health in the Prometheus text format.
#include <QByteArray>
#include <QtGlobal>

namespace kyvdash {

class Runner;

// Counters of the HTTP server, for its metrics.
struct WebCounters {
  int viewers = 0;                 // live pages now
  quint64 viewersRefused = 0;      // live pages refused (too many, wrong token)
  quint64 viewersDropped = 0;      // live pages closed for falling behind
  quint64 framesSent = 0;          // frame messages sent, all pages
  quint64 framesSkipped = 0;       // frames a page behind did not get
  quint64 bytesSent = 0;           // bytes of messages sent to pages
  quint64 requests = 0;            // HTTP requests answered
  quint64 requestsForbidden = 0;   // refused for their Host or Origin
  quint64 connectionsRefused = 0;  // connections refused or closed for a limit
};

// {"time": ..., "controls": [{"name", "class", "source", "field", "value", "age", "stale",
// "alerting"}]}: `value` is what the control was last given (null before any): a number
// when it reads as one, the text otherwise; `age` the seconds since; `alerting` whether a
// firing alert concerns a series it shows.
QByteArray readingsJson(const Runner& runner);

// The metrics of kyvdash: sources up, their errors, actions run, stale controls, pages,
// frames and bytes sent.
QByteArray metricsText(const Runner& runner, const WebCounters& counters);

// A label value as the Prometheus text format writes it (\\, \" and \n escaped).
QByteArray promLabel(const QString& value);

}  // namespace kyvdash
