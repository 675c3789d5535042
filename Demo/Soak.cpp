#include "Soak.h"

#include <QFile>

#include "Form1.h"
#include "kyv/qt/ControlWidget.h"

using kyv::Variant;

namespace kyvdemo {
namespace {

// What the soak asks of each control at the end: one property read and one call of the
// method its feed calls, with a value in every feed's range.
struct Probe {
  const char* control;
  const char* property;
  const char* feed;
  Variant argument;
};

const Probe kProbes[] = {
    {"KyvMovingBar1", "MaxLimit", "MoveBar", int16_t(1)}, {"KyvMultiBar1", "Columns", "Value", int16_t(1)},
    {"fourseg1", "DisplayColor", "send", int32_t(1234)},  {"Kyvvstat1", "Maxlimit", "incbar", int16_t(1)},
    {"Hstat1", "Maxlimit", "incbar", int16_t(1)},         {"HeartBeat1", "HorizCount", "Plot", int16_t(1)},
};

QString text(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

struct Answer {
  bool given;
  QString line;
};

// The control's answer to the probe, or the step where it gave none and why.
Answer ask(kyvqt::ControlWidget* w, const Probe& p) {
  const QString name = QLatin1String(p.control);
  if (!w) return {false, name + QStringLiteral(" does not answer: no such control on the form")};
  const auto failed = [&](const char* step, std::string_view kind, const char* message) {
    return Answer{false, QStringLiteral("%1 does not answer: %2: %3: %4")
                             .arg(name, QLatin1String(step), text(kind), QString::fromUtf8(message))};
  };
  const char* step = p.property;
  try {
    const Variant value = w->get(p.property);
    step = p.feed;
    Variant argument = p.argument;
    w->call(p.feed, argument);
    return {true, QStringLiteral("%1 answers: %2 = %3, %4 %5 done")
                      .arg(name, QLatin1String(p.property), text(value.display()), QLatin1String(p.feed),
                           text(p.argument.display()))};
  } catch (const kyv::Error& e) {
    return failed(step, kyv::kindName(e.kind()), e.what());
  } catch (const std::exception& e) {
    return failed(step, "error", e.what());
  }
}

}  // namespace

// /proc files report no size, so the whole text is read before it is split into lines.
std::optional<int64_t> residentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return std::nullopt;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("VmRSS:")) continue;
    bool ok = false;
    const qint64 kib = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
    if (ok) return kib;
  }
  return std::nullopt;
}

Soak::Soak(Form1& form, SoakSettings settings, Sink sink) : form_(form), settings_(settings), sink_(std::move(sink)) {
  reportTimer_.setTimerType(Qt::PreciseTimer);
  endTimer_.setTimerType(Qt::PreciseTimer);
  connect(&reportTimer_, &QTimer::timeout, this, &Soak::report);
  endTimer_.setSingleShot(true);
  connect(&endTimer_, &QTimer::timeout, this, &Soak::finish);
}

void Soak::start() {
  const QString interval = settings_.intervalMs ? QStringLiteral("every feed at %1 ms").arg(*settings_.intervalMs)
                                                : QStringLiteral("every feed at its own interval");
  sink_(QStringLiteral("soak: %1 s, %2, a report every %3 s")
            .arg(settings_.duration.count() / 1000.0)
            .arg(interval)
            .arg(settings_.reportEvery.count() / 1000.0));
  errorsBefore_ = form_.errorsReported();
  form_.startAll();
  for (QTimer* t : form_.feedTimers()) {
    connect(t, &QTimer::timeout, this, [this] { ++ticks_; });
    if (settings_.intervalMs && t->isActive()) t->start(*settings_.intervalMs);
  }
  clock_.start();
  report();
  reportTimer_.start(settings_.reportEvery);
  endTimer_.start(settings_.duration);
}

void Soak::report() {
  const Sample s{clock_.elapsed(), residentKiB(), ticks_, form_.statusText()};
  samples_.append(s);
  const QString rss = s.rssKiB ? QString::number(*s.rssKiB) : QStringLiteral("?");
  sink_(QStringLiteral("soak %1 s  rss %2 KiB  ticks %3  status: %4")
            .arg(s.elapsedMs / 1000.0, 7, 'f', 1)
            .arg(rss, 8)
            .arg(s.ticks, 9)
            .arg(s.status));
}

void Soak::finish() {
  reportTimer_.stop();
  for (QTimer* t : form_.feedTimers()) t->stop();
  if (samples_.last().elapsedMs < settings_.duration.count()) report();  // unless the last report was the end
  const bool answers = everyControlAnswers();
  const QString status = form_.statusText();  // the answers' events may have run handlers
  const int errors = form_.errorsReported() - errorsBefore_;
  passed_ = answers && status.isEmpty() && errors == 0;
  QStringList problems;
  if (!status.isEmpty()) problems << QStringLiteral("the status line shows ") + status;
  if (errors > 0)
    problems << (errors == 1 ? QStringLiteral("1 error was reported while it ran")
                             : QStringLiteral("%1 errors were reported while it ran").arg(errors));
  if (!answers) problems << QStringLiteral("a control does not answer");
  sink_(passed_ ? QStringLiteral("soak passed: no error in the status line, every control answers")
                : QStringLiteral("soak failed: ") + problems.join(QStringLiteral("; ")));
  emit finished(passed_);
}

bool Soak::everyControlAnswers() {
  bool all = true;
  for (const Probe& p : kProbes) {
    const Answer answer = ask(form_.findChild<kyvqt::ControlWidget*>(QLatin1String(p.control)), p);
    sink_(answer.line);
    all = all && answer.given;
  }
  return all;
}

}  // namespace kyvdemo
