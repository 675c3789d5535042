#pragma once
// A kind of source added as the docs show a new kind is added: a counter that goes up by
// `step` every `interval` seconds, read as the field "count". The tests add it to the
// kinds a layout may name and run it as any other source.
#include <QTimer>

#include "SourceKind.h"

namespace kyvdash {

class CounterSource : public Source {
  Q_OBJECT

 public:
  CounterSource(QString name, double step, std::chrono::milliseconds interval);
  void start() override;

 private:
  QTimer timer_;
  double step_;
  double count_ = 0;
};

// What a layout says of a counter.
struct CounterSettings final : SourceSettings {
  double step = 1;
  double interval = 1;
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const override;
  QString fieldProblem(const QString& field) const override;
};

// The kind: {"type": "counter", "step": 2, "interval": 0.5}.
SourceKind counterSourceKind();

}  // namespace kyvdash
