// kyvdash run as a program by the kyvdash benchmarks: started with its arguments (and a
// display of its own when asked), fed through its standard input, its CPU time read from
// the scheduler.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <memory>

namespace dashbench {

// An X server of its own (Xvfb) of `size`, which says its display once it is ready.
class VirtualScreen {
 public:
  explicit VirtualScreen(QSize size) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) return;
    server_.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                         QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height())});
    QElapsedTimer waited;
    waited.start();
    QByteArray out;
    while (!out.contains('\n') && waited.elapsed() < 10'000 && server_.state() != QProcess::NotRunning) {
      server_.waitForReadyRead(200);
      out += server_.readAllStandardOutput();
    }
    if (out.contains('\n')) display_ = u':' + QString::fromLatin1(out.trimmed());
  }
  ~VirtualScreen() {
    server_.terminate();
    server_.waitForFinished(5000);
  }
  // ":N", or empty when Xvfb is not installed or did not start.
  const QString& display() const { return display_; }

 private:
  QProcess server_;
  QString display_;
};

// kyvdash with `arguments`, on `display` (Qt's offscreen platform when empty); what it
// reports on standard error goes to this process's unless `quiet`.
class DashProcess {
 public:
  DashProcess(const QStringList& arguments, const QString& display = {}, bool quiet = false) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (display.isEmpty()) {
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
      env.remove(QStringLiteral("QT_QPA_PLATFORM"));
      env.insert(QStringLiteral("DISPLAY"), display);
    }
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (quiet) process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start(QStringLiteral(KYVDASH_PROGRAM), arguments);
    if (!process_.waitForStarted(10'000)) std::abort();
  }
  ~DashProcess() {
    process_.terminate();
    process_.waitForFinished(5000);
  }
  // The live channel's address once kyvdash says where it serves; empty after 20 s.
  QString liveUrl() {
    static const QRegularExpression served(QStringLiteral("serving http://127.0.0.1:(\\d+)/"));
    QElapsedTimer waited;
    waited.start();
    QByteArray out;
    while (waited.elapsed() < 20'000) {
      process_.waitForReadyRead(200);
      out += process_.readAllStandardOutput();
      const QRegularExpressionMatch m = served.match(QString::fromUtf8(out));
      if (m.hasMatch()) return QStringLiteral("ws://127.0.0.1:%1/live").arg(m.captured(1));
    }
    return {};
  }
  void write(const QByteArray& lines) { process_.write(lines); }
  // CPU time of every thread of kyvdash, in seconds as the scheduler counts it (the clock
  // ticks of /proc/PID/stat are too coarse for the few milliseconds a second of an idle
  // kyvdash).
  double cpuSeconds() const {
    const QString tasks = QStringLiteral("/proc/%1/task").arg(process_.processId());
    double total = 0;
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      QFile stat(tasks + u'/' + task + QStringLiteral("/schedstat"));
      if (stat.open(QIODevice::ReadOnly)) total += stat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
  }
  // Its resident memory (VmRSS), in KiB.
  long residentKiB() const {
    QFile status(QStringLiteral("/proc/%1/status").arg(process_.processId()));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
      if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
  }

 private:
  QProcess process_;
};

}  // namespace dashbench
