#pragma once
// The output lines of a command (`NAME VALUE` or JSON lines). The command is started with
// the dashboard and started again, after a back-off delay, whenever it ends; its standard
// error goes to the dashboard's own, its standard input is empty. It runs in a process
// group of its own, ended whole when the command ends, and with the source.
#include <QProcess>
#include <QStringList>

#include "Source.h"
#include "SourceKind.h"

namespace kyvdash {

class CommandSource : public LineSource {
  Q_OBJECT

 public:
  CommandSource(QString name, QStringList command, QObject* parent = nullptr);
  ~CommandSource() override;
  void start() override;

 private:
  void ended(const QString& how);
  QStringList command_;
  QProcess process_;
  pid_t group_ = 0;  // the process group of the running command
  bool gotReading_ = false;
};

// A command source as a layout gives it.
struct CommandSettings final : SourceSettings {
  QStringList command;  // program and arguments
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const override;
};

}  // namespace kyvdash
