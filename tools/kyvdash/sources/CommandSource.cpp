#include "CommandSource.h"

#include <utility>

#include "ProcessGroup.h"
#include "SourceKind.h"

namespace kyvdash {

CommandSource::CommandSource(QString name, QStringList command, QObject* parent)
    : LineSource(std::move(name), parent), command_(std::move(command)) {
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.setStandardInputFile(QProcess::nullDevice());
  startInOwnGroup(process_);
  connect(&process_, &QProcess::started, this, [this] { group_ = static_cast<pid_t>(process_.processId()); });
  connect(&process_, &QProcess::readyReadStandardOutput, this, [this] { takeBytes(process_.readAllStandardOutput()); });
  connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) ended(QStringLiteral("cannot be started: ") + process_.errorString());
  });
  connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
    ended(status == QProcess::CrashExit ? QStringLiteral("ended abnormally")
                                        : QStringLiteral("ended with status %1").arg(code));
  });
  // A reading after a start means the command works: the next restart comes at once.
  connect(this, &Source::reading, this, [this] {
    if (gotReading_) return;
    gotReading_ = true;
    succeed();
  });
}

CommandSource::~CommandSource() {
  process_.disconnect(this);
  if (group_ > 0) endGroup(group_);
  if (process_.state() == QProcess::NotRunning) return;
  process_.kill();
  process_.waitForFinished(5000);
}

void CommandSource::start() {
  newStream();
  gotReading_ = false;
  process_.start(command_.front(), command_.mid(1));
}

// What the command left running in its group (a background child) ends with it.
void CommandSource::ended(const QString& how) {
  endGroupLater(std::exchange(group_, 0));
  takeBytes(process_.readAllStandardOutput());
  endStream();
  if (gotReading_ && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0)
    return again([this] { start(); });
  fail(QStringLiteral("command %1 %2").arg(command_.front(), how), [this] { start(); });
}

std::unique_ptr<Source> CommandSettings::make(const QString& name, const SourceNeeds&) const {
  return std::make_unique<CommandSource>(name, command);
}

SourceKind commandSourceKind() {
  return {QStringLiteral("command"), [](const nlohmann::json& j, const FieldReader& p) {
            auto s = std::make_unique<CommandSettings>();
            p.unknownMembers(j, {}, {"type", "command"});
            if (!j.contains("command"))
              p.add(QStringLiteral("command"), QStringLiteral("missing"));
            else
              s->command = p.command(j["command"], QStringLiteral("command")).value_or(QStringList());
            return s;
          }};
}

}  // namespace kyvdash
