#include "ProcSource.h"

#include <QRegularExpression>

#include "SourceKind.h"

namespace kyvdash {

ProcSource::ProcSource(QString name, std::chrono::milliseconds interval, QObject* parent)
    : Source(std::move(name), parent) {
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, &ProcSource::read);
}

void ProcSource::start() {
  timer_.start();
  read();
}

void ProcSource::read() {
  const ProcTexts texts = readProcTexts(root_, sysBlock_);
  if (texts.stat.isEmpty() || texts.loadavg.isEmpty()) {
    timer_.stop();
    last_.reset();
    fail(QStringLiteral("cannot read %1/stat and %1/loadavg").arg(root_), [this] { start(); });
    return;
  }
  ProcSnapshot now = parseProc(texts, clock_());
  for (const auto& [field, value] : procReadings(last_ ? &*last_ : nullptr, now)) emit reading(field, value);
  last_ = std::move(now);
  succeed();
}

std::unique_ptr<Source> ProcSettings::make(const QString& name, const SourceNeeds&) const {
  return std::make_unique<ProcSource>(name, fromSeconds(interval));
}

QString ProcSettings::fieldProblem(const QString& field) const {
  if (isProcField(field)) return {};
  return QStringLiteral(
             "\"%1\" is not a reading of a proc source (cpu, cpuN, mem, swap, load1, load5, load15, net.rx, net.tx, "
             "net.IFACE.rx, net.IFACE.tx, disk.read, disk.write, disk.DEV.read, disk.DEV.write)")
      .arg(field);
}

std::optional<FieldReach> ProcSettings::fieldReach(const QString& field) const {
  static const QRegularExpression share(QStringLiteral("^(cpu[0-9]*|mem|swap)$"));
  if (share.match(field).hasMatch()) return FieldReach{0, 100, QStringLiteral("%")};
  if (field.startsWith(QLatin1String("net.")))
    return FieldReach{0, 125e6, QStringLiteral("bytes a second on a 1 Gbit/s link")};
  if (field.startsWith(QLatin1String("disk.")))
    return FieldReach{0, 1e9, QStringLiteral("bytes a second on a fast disk")};
  return std::nullopt;
}

SourceKind procSourceKind() {
  return {QStringLiteral("proc"), [](const nlohmann::json& j, const FieldReader& p) {
            auto s = std::make_unique<ProcSettings>();
            p.unknownMembers(j, {}, {"type", "interval"});
            s->interval = p.number(j, "interval", QStringLiteral("interval"), 0.1, kMaxSeconds).value_or(s->interval);
            return s;
          }};
}

}  // namespace kyvdash
