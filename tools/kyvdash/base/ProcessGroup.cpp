#include "ProcessGroup.h"

#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <csignal>

namespace kyvdash {
namespace {

// The state and process group of process `pid` from /proc/PID/stat: "pid (comm) S ppid pgrp ...".
bool inGroupAndRunning(const QString& pid, pid_t group) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return false;
  const QByteArray text = stat.readAll();
  const qsizetype close = text.lastIndexOf(')');  // the command name may hold spaces and parentheses
  if (close < 0) return false;
  const QList<QByteArray> fields = text.mid(close + 2).split(' ');
  return fields.size() > 2 && fields[0] != "Z" && fields[0] != "X" && fields[2].toLongLong() == group;
}

}  // namespace

void startInOwnGroup(QProcess& process) {
  process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

bool groupAlive(pid_t group) {
  if (group <= 0 || ::kill(-group, 0) != 0) return false;
  const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& pid : pids)
    if (pid.front().isDigit() && inGroupAndRunning(pid, group)) return true;
  return false;
}

void endGroup(pid_t group, std::chrono::milliseconds grace) {
  if (group <= 0 || ::kill(-group, SIGTERM) != 0) return;
  QElapsedTimer waited;
  waited.start();
  while (groupAlive(group)) {
    if (waited.elapsed() >= grace.count()) {
      ::kill(-group, SIGKILL);
      return;
    }
    QThread::msleep(10);
  }
}

void endGroupLater(pid_t group, std::chrono::milliseconds grace) {
  if (group <= 0 || ::kill(-group, SIGTERM) != 0) return;
  QTimer::singleShot(grace, [group] {
    if (groupAlive(group)) ::kill(-group, SIGKILL);
  });
}

}  // namespace kyvdash
