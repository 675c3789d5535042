#include "ProcSource.h"

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

}  // namespace kyvdash
