#include "StdinSource.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "SourceKind.h"

namespace kyvdash {

FdReader::FdReader(int fd, QObject* parent) : QObject(parent), fd_(fd), notifier_(fd, QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, &FdReader::readSome);
}

void FdReader::readSome() {
  char buffer[65536];
  const ssize_t n = ::read(fd_, buffer, sizeof buffer);
  if (n > 0) {
    emit data(QByteArray(buffer, static_cast<qsizetype>(n)));
    return;
  }
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  notifier_.setEnabled(false);
  closed_ = true;
  emit finished(n == 0 ? QStringLiteral("end of input") : QString::fromLocal8Bit(std::strerror(errno)));
}

StdinSource::StdinSource(QString name, FdReader& reader, QObject* parent)
    : LineSource(std::move(name), parent), reader_(reader) {}

void StdinSource::start() {
  connect(&reader_, &FdReader::data, this, [this](const QByteArray& bytes) { takeBytes(bytes); });
  connect(&reader_, &FdReader::finished, this,
          [this](const QString& why) { emit problem(QStringLiteral("standard input closed (%1)").arg(why)); });
  if (reader_.closed()) emit problem(QStringLiteral("standard input is closed"));
}

namespace {

class StdinSettings final : public SourceSettings {
 public:
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const override {
    return std::make_unique<StdinSource>(name, needs.standardInput());
  }
};

}  // namespace

SourceKind stdinSourceKind() {
  return {QStringLiteral("stdin"), [](const nlohmann::json& j, const FieldReader& p) {
            p.unknownMembers(j, {}, {"type"});
            return std::make_unique<StdinSettings>();
          }};
}

}  // namespace kyvdash
