#include "Source.h"

namespace kyvdash {

Source::Source(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] {
    if (retryAction_) retryAction_();
  });
}

void Source::fail(const QString& what, std::function<void()> retry) {
  failing_ = true;
  const auto delay = backoff_.next();
  retryAction_ = std::move(retry);
  retry_.start(delay);
  emit problem(QStringLiteral("%1; retrying in %2 s").arg(what).arg(double(delay.count()) / 1000.0));
}

void Source::again(std::function<void()> retry) {
  backoff_.reset();
  retryAction_ = std::move(retry);
  retry_.start(backoff_.next());
  backoff_.reset();
}

void Source::down(const QString& what) {
  failing_ = true;
  if (saidWhileDown_.contains(what)) return;
  if (saidWhileDown_.size() < kMostSaidWhileDown) saidWhileDown_.insert(what);
  emit problem(what);
}

void Source::succeed() {
  if (!failing_) return;
  failing_ = false;
  saidWhileDown_.clear();
  backoff_.reset();
  emit recovered();
}

void Source::emitReadings(const std::vector<Reading>& readings) {
  for (const Reading& r : readings) emit reading(r.field, r.value);
}

void LineSource::takeBytes(QByteArrayView bytes) {
  const int droppedBefore = splitter_.dropped();
  splitter_.feed(bytes, [this](QByteArrayView line) { takeLine(line); });
  if (splitter_.dropped() != droppedBefore) emit problem(QStringLiteral("a line longer than 1 MiB was skipped"));
}

void LineSource::endStream() {
  splitter_.finish([this](QByteArrayView line) { takeLine(line); });
}

void LineSource::newStream() {
  splitter_.clear();
  csvReader_.reset();
}

void LineSource::takeLine(QByteArrayView line) {
  readings_.clear();
  QString why;
  if (csv_)
    csvReader_.line(line, readings_);
  else if (!parseLine(line, readings_, &why)) {
    ++badSinceReport_;
    if (lastBadReport_.isValid() && lastBadReport_.elapsed() < 10'000) return;
    const QString shown = QString::fromUtf8(line.first(std::min<qsizetype>(line.size(), 80)));
    emit problem(
        badSinceReport_ > 1
            ? QStringLiteral("%1 lines not understood, the last: \"%2\" (%3)").arg(badSinceReport_).arg(shown, why)
            : QStringLiteral("line not understood: \"%1\" (%2)").arg(shown, why));
    badSinceReport_ = 0;
    lastBadReport_.start();
    return;
  }
  emitReadings(readings_);
}

}  // namespace kyvdash
