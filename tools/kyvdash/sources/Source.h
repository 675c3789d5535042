#pragma once
// Source: where readings come from. Each source runs on its own inside the event loop and
// emits its readings as they come; a failure is reported and retried (after a back-off
// delay, or, for a server read on a timer, at each of its ticks by a cheap probe), and
// never stops another source.
#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

#include "Backoff.h"
#include "Readings.h"

namespace kyvdash {

class Source : public QObject {
  Q_OBJECT

 public:
  explicit Source(QString name, QObject* parent = nullptr);
  const QString& name() const { return name_; }

  // Begins reading.
  virtual void start() = 0;
  // A field some feed reads (sources that must look for each field, such as a scrape, keep it).
  virtual void want(const QString& field) { Q_UNUSED(field) }
  // A source that keeps the past of its fields (a Prometheus server) asks for the latest
  // `count` readings of `field` at its interval, ending a little before now, and answers
  // with `past`; returns false, asking nothing, when it keeps none.
  virtual bool askPast(const QString& field, int count) {
    Q_UNUSED(field)
    Q_UNUSED(count)
    return false;
  }
  // Retries by fail() wait `first`, then twice as long after each failure, up to `ceiling`.
  // A field whose every series is wanted (the blocks of a repeat): its giving several is
  // what it is for, not a problem to report.
  virtual void wantSeries(const QString& field) { want(field); }
  void setRetry(std::chrono::milliseconds first, std::chrono::milliseconds ceiling) {
    backoff_ = Backoff(first, ceiling);
  }

 signals:
  void reading(const QString& field, double value);
  // Every series `field` gave in one answer, in the order the source gave them (only sources
  // whose fields may give several, such as a Prometheus query, emit it; before `reading`);
  // an answer of no series gives an empty list.
  void series(const QString& field, const std::vector<kyvdash::Series>& all);
  // The past askPast asked for: `field`'s readings, oldest first, at the source's interval
  // (a time without a value is left out), and the interval in ms.
  void past(const QString& field, const std::vector<kyvdash::TimedReading>& readings, qint64 step);
  // Something went wrong (the message says what, and when it is tried again).
  void problem(const QString& message);
  // Readings come again after a failure.
  void recovered();

 protected:
  // Reports `what` and runs `retry` after the next back-off delay.
  void fail(const QString& what, std::function<void()> retry);
  // Runs `retry` after the first back-off delay, without a report: what ended is expected
  // to end (a command that printed its readings and exited).
  void again(std::function<void()> retry);
  // Marks the source down, for a source that tries again on its own (a server read on a
  // timer probes it at each tick): each `what` is reported once an outage, so that a probe
  // failing as an earlier one did, or failures alternating between two causes, are not.
  void down(const QString& what);
  bool isDown() const { return failing_; }
  // Marks the end of a run of failures: the back-off starts again from its first delay.
  void succeed();
  void emitReadings(const std::vector<Reading>& readings);

 private:
  QString name_;
  Backoff backoff_;
  QTimer retry_;
  std::function<void()> retryAction_;
  bool failing_ = false;
  static constexpr int kMostSaidWhileDown = 64;  // bounds the set below on causes that keep changing
  QSet<QString> saidWhileDown_;                  // what down() has reported since the source last succeeded
};

// A source whose bytes are lines: `NAME VALUE` or JSON lines, or the rows of a CSV file
// with `csv` set. Lines it cannot read are reported, at most one report in ten seconds.
class LineSource : public Source {
  Q_OBJECT

 public:
  explicit LineSource(QString name, QObject* parent = nullptr) : Source(std::move(name), parent) {}
  void setCsv(QChar separator) {
    csv_ = true;
    csvReader_ = CsvReader(separator);
  }

 protected:
  bool csv() const { return csv_; }
  void takeBytes(QByteArrayView bytes);
  // A new stream begins (a rotated file, a restarted command): partial lines and the CSV
  // header are forgotten.
  void newStream();
  // The stream has ended: an unfinished last line is read as it is.
  void endStream();

 private:
  void takeLine(QByteArrayView line);
  LineSplitter splitter_;
  bool csv_ = false;
  CsvReader csvReader_;
  std::vector<Reading> readings_;
  QElapsedTimer lastBadReport_;
  int badSinceReport_ = 0;
};

}  // namespace kyvdash
