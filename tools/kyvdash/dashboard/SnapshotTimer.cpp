#include "SnapshotTimer.h"

#include "Runner.h"
#include "Snapshot.h"

namespace kyvdash {

SnapshotTimer::SnapshotTimer(Runner& runner, QString path, std::chrono::milliseconds after,
                             std::optional<std::chrono::milliseconds> every, QObject* parent)
    : QObject(parent), runner_(runner), path_(std::move(path)), after_(after), every_(every) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &SnapshotTimer::shoot);
}

void SnapshotTimer::shoot() {
  if (every_) timer_.start(*every_);
  QString error;
  Dashboard* d = runner_.dashboard();
  const bool ok = d && writeSnapshot(*d, path_, &error, canvas_);
  if (ok) {
    ++written_;
    emit wrote(path_);
  } else {
    emit failed(error);
  }
  if (!every_) emit finished(ok);
}

}  // namespace kyvdash
