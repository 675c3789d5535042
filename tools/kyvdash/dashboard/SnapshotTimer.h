#pragma once
// Headless mode: snapshots of the running screen written on a schedule, the first after
// `after`, then every `every`, or only once when `every` is not given.
#include <QObject>
#include <QSize>
#include <QTimer>
#include <chrono>
#include <optional>

namespace kyvdash {

class Runner;

class SnapshotTimer : public QObject {
  Q_OBJECT

 public:
  SnapshotTimer(Runner& runner, QString path, std::chrono::milliseconds after,
                std::optional<std::chrono::milliseconds> every, QObject* parent = nullptr);
  void start() { timer_.start(after_); }
  // The size of each picture (else the dashboard's own).
  void setCanvas(QSize canvas) { canvas_ = canvas; }
  int written() const { return written_; }

 signals:
  void wrote(const QString& path);
  void failed(const QString& message);
  // The only snapshot (without `every`) was written, or could not be.
  void finished(bool ok);

 private:
  void shoot();
  Runner& runner_;
  QString path_;
  std::chrono::milliseconds after_;
  std::optional<std::chrono::milliseconds> every_;
  QTimer timer_;
  int written_ = 0;
  QSize canvas_;
};

}  // namespace kyvdash
