#pragma once
// Soak: runs every feed of the main window for a long time and watches what that costs.
// start() presses every Start button and, when asked, sets every running feed timer to one
// interval; a report line then follows every `reportEvery` with the time since start, the
// process's resident memory, the feed ticks so far and the status line's text. At the end
// the feeds stop, and every control must still answer a late-bound property read and a call of its feed
// method. The soak passes when they all answer, no error was reported while it ran (an error
// may stand in the status line only until its panel runs cleanly again) and the status
// line shows none.
//
//   soak  10.0 s  rss   48212 KiB  ticks   59871  status:
//   KyvMovingBar1 answers: MaxLimit = 100, MoveBar 1 done
//   soak passed: no error in the status line, every control answers
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace kyvdemo {

class Form1;

// The process's resident memory (VmRSS of /proc/self/status) in KiB; nothing where the
// system does not say.
std::optional<int64_t> residentKiB();

struct SoakSettings {
  std::chrono::milliseconds duration{600'000};
  std::optional<int> intervalMs;  // every running feed's interval; none keeps Start's
  std::chrono::milliseconds reportEvery{10'000};
};

class Soak : public QObject {
  Q_OBJECT

 public:
  struct Sample {
    int64_t elapsedMs;
    std::optional<int64_t> rssKiB;
    int64_t ticks;
    QString status;
  };
  using Sink = std::function<void(const QString& line)>;

  // `form` must outlive the soak; every line of the report goes to `sink`.
  Soak(Form1& form, SoakSettings settings, Sink sink);

  // Starts every feed and the clock; finished() follows after the duration.
  void start();
  const QList<Sample>& samples() const { return samples_; }
  bool passed() const { return passed_; }

 signals:
  void finished(bool passed);

 private:
  void report();
  void finish();
  // Reads one property of every control and calls its feed; false when any fails.
  bool everyControlAnswers();

  Form1& form_;
  SoakSettings settings_;
  Sink sink_;
  QTimer reportTimer_;
  QTimer endTimer_;
  QElapsedTimer clock_;
  int64_t ticks_ = 0;
  int errorsBefore_ = 0;  // reported before the soak started
  QList<Sample> samples_;
  bool passed_ = false;
};

}  // namespace kyvdemo
