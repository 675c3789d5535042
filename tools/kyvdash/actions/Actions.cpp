#include "Actions.h"

#include <QDateTime>
#include <QFile>
#include <QTimer>
#include "OutputQueue.h"
#include "ProcessGroup.h"

namespace kyvdash {

QString expandAction(const QString& text, const QString& control, const QString& event, const QString& value) {
  QString out = text;
  out.replace(QLatin1String("{time}"), QDateTime::currentDateTime().toString(Qt::ISODate));
  out.replace(QLatin1String("{control}"), control);
  out.replace(QLatin1String("{event}"), event);
  out.replace(QLatin1String("{value}"), value);
  return out;
}

Actions::Actions(Clock clock, QObject* parent) : QObject(parent), clock_(std::move(clock)) {
  printer_ = [](const QString& line) { standardOutput().write(line); };
}

// Commands still running are ended with their actions, with what they started.
Actions::~Actions() {
  for (auto& b : bound_) {
    if (!b->running) continue;
    b->running->disconnect(this);
    endGroup(static_cast<pid_t>(b->running->processId()));
    b->running->kill();
    b->running->waitForFinished(2000);
  }
}

void Actions::keepHoldoffs(const Actions& previous) {
  const auto same = [](const Bound& a, const Bound& b) {
    return a.control == b.control && a.event == b.event && a.action.kind == b.action.kind &&
           a.action.text == b.action.text && a.action.path == b.action.path && a.action.command == b.action.command &&
           a.action.holdoff == b.action.holdoff;
  };
  for (auto& b : bound_) {
    for (const auto& p : previous.bound_) {
      if (!p->acted || !same(*b, *p)) continue;
      b->acted = true;
      b->lastActed = p->lastActed;
      break;
    }
  }
}

void Actions::add(const QString& control, const LayoutEvent& event) {
  for (const LayoutAction& action : event.actions) {
    auto b = std::make_unique<Bound>();
    b->control = control;
    b->event = event.event;
    b->action = action;
    bound_.push_back(std::move(b));
  }
}

void Actions::fire(const QString& control, const QString& event, const QString& value) {
  const qint64 now = clock_();
  for (auto& b : bound_) {
    if (b->control != control || b->event.compare(event, Qt::CaseInsensitive) != 0) continue;
    if (b->acted && now - b->lastActed < static_cast<qint64>(b->action.holdoff * 1000)) continue;
    b->acted = true;
    b->lastActed = now;
    act(*b, value);
  }
}

QString Actions::who(const Bound& b) const { return QStringLiteral("action on %1 %2").arg(b.control, b.event); }

void Actions::act(Bound& b, const QString& value) {
  emit acted();
  switch (b.action.kind) {
    case LayoutAction::Kind::Print: printer_(expandAction(b.action.text, b.control, b.event, value)); return;
    case LayoutAction::Kind::Log: {
      QFile log(b.action.path);
      const QByteArray line = expandAction(b.action.text, b.control, b.event, value).toUtf8() + '\n';
      if (!log.open(QIODevice::WriteOnly | QIODevice::Append) || log.write(line) != line.size() || !log.flush())
        emit problem(QStringLiteral("%1: cannot append to %2: %3").arg(who(b), b.action.path, log.errorString()));
      return;
    }
    case LayoutAction::Kind::Run: run(b, value); return;
  }
}

void Actions::run(Bound& b, const QString& value) {
  if (b.running) {
    emit problem(QStringLiteral("%1: %2 is still running; not started again").arg(who(b), b.action.command.front()));
    return;
  }
  QStringList args;
  for (const QString& word : b.action.command.mid(1)) args << expandAction(word, b.control, b.event, value);
  auto* p = new QProcess(this);
  b.running = p;
  p->setProcessChannelMode(QProcess::ForwardedChannels);
  p->setStandardInputFile(QProcess::nullDevice());
  startInOwnGroup(*p);
  auto* deadline = new QTimer(p);
  deadline->setSingleShot(true);
  connect(deadline, &QTimer::timeout, p, [p] {
    p->setProperty("timedOut", true);
    endGroupLater(static_cast<pid_t>(p->processId()));
  });
  connect(p, &QProcess::errorOccurred, this, [this, &b, p](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) finish(b, QStringLiteral("cannot be started: ") + p->errorString());
  });
  connect(p, &QProcess::finished, this, [this, &b, p](int code, QProcess::ExitStatus status) {
    if (p->property("timedOut").toBool())
      finish(b, QStringLiteral("timed out after %1 s and was ended").arg(b.action.timeout));
    else if (status == QProcess::CrashExit)
      finish(b, QStringLiteral("ended abnormally"));
    else
      finish(b, code == 0 ? QString() : QStringLiteral("ended with status %1").arg(code));
  });
  deadline->start(static_cast<int>(b.action.timeout * 1000));
  p->start(b.action.command.front(), args);
}

void Actions::finish(Bound& b, const QString& failure) {
  if (!failure.isEmpty()) emit problem(QStringLiteral("%1: %2 %3").arg(who(b), b.action.command.front(), failure));
  b.running->deleteLater();
  b.running = nullptr;
  emit commandEnded();
}

}  // namespace kyvdash
