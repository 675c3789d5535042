#pragma once
// This machine's counters (see ProcStats.h), read every `interval`. Levels come with the
// first reading; CPU shares and rates from the second on.
#include <QTimer>
#include <optional>

#include "Clock.h"
#include "ProcStats.h"
#include "Source.h"
#include "SourceKind.h"

namespace kyvdash {

class ProcSource : public Source {
  Q_OBJECT

 public:
  ProcSource(QString name, std::chrono::milliseconds interval, QObject* parent = nullptr);
  void start() override;
  // Where the files are read from (tests point this at their own texts).
  void setRoot(QString procRoot, QString sysBlock) {
    root_ = std::move(procRoot);
    sysBlock_ = std::move(sysBlock);
  }

 private:
  void read();
  QString root_ = QStringLiteral("/proc");
  QString sysBlock_ = QStringLiteral("/sys/block");
  QTimer timer_;
  Clock clock_ = steadyClock();
  std::optional<ProcSnapshot> last_;
};

// A proc source as a layout gives it; it knows its fields and what they reach.
struct ProcSettings final : SourceSettings {
  double interval = 1;  // seconds between two readings
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const override;
  QString fieldProblem(const QString& field) const override;
  // Shares in % up to 100, network rates up to a 1 Gbit/s link, disk rates up to 1 GB/s.
  std::optional<FieldReach> fieldReach(const QString& field) const override;
};

}  // namespace kyvdash
