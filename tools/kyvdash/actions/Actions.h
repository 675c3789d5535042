#pragma once
// What a control's events do: print a line, append a line to a log file, or run a command
// that is ended after its timeout (with everything it started: each command runs in a
// process group of its own). Each action acts at most once within its hold-off time,
// however often its event comes. Every failure is reported.
//
// Texts and command words may hold {time} (local, ISO 8601), {control}, {event} and
// {value} (the value the control was last given).
#include <QObject>
#include <QProcess>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "Clock.h"
#include "Layout.h"

namespace kyvdash {

// `text` with its placeholders filled in.
QString expandAction(const QString& text, const QString& control, const QString& event, const QString& value);

class Actions : public QObject {
  Q_OBJECT

 public:
  explicit Actions(Clock clock, QObject* parent = nullptr);
  ~Actions() override;

  // The actions of `event` of control `control`.
  void add(const QString& control, const LayoutEvent& event);
  // Each action that `previous` bound to the same control and event with the same settings
  // keeps its hold-off: a screen laid out again does not act again at once.
  void keepHoldoffs(const Actions& previous);
  // Where printed lines go (standard output, never blocking, unless set).
  void setPrinter(std::function<void(const QString&)> printer) { printer_ = std::move(printer); }
  // Control `control` raised `event` after being given `value`: acts on each of the event's
  // actions that is not held off.
  void fire(const QString& control, const QString& event, const QString& value);

 signals:
  void problem(const QString& message);
  // A command started by an action ended (successfully or not).
  void commandEnded();
  // An action was taken (printed, logged or started).
  void acted();

 private:
  struct Bound {
    QString control, event;
    LayoutAction action;
    qint64 lastActed = 0;
    bool acted = false;
    QProcess* running = nullptr;
  };
  void act(Bound& b, const QString& value);
  void run(Bound& b, const QString& value);
  // A command ended; `failure` says how when it did not succeed.
  void finish(Bound& b, const QString& failure);
  QString who(const Bound& b) const;

  Clock clock_;
  std::function<void(const QString&)> printer_;
  std::vector<std::unique_ptr<Bound>> bound_;
};

}  // namespace kyvdash
