#include "CounterSource.h"

namespace kyvdash {

CounterSource::CounterSource(QString name, double step, std::chrono::milliseconds interval)
    : Source(std::move(name)), step_(step) {
  timer_.setInterval(interval);
  connect(&timer_, &QTimer::timeout, this, [this] { emit reading(QStringLiteral("count"), count_ += step_); });
}

void CounterSource::start() { timer_.start(); }

std::unique_ptr<Source> CounterSettings::make(const QString& name, const SourceNeeds&) const {
  return std::make_unique<CounterSource>(name, step, fromSeconds(interval));
}

QString CounterSettings::fieldProblem(const QString& field) const {
  return field == QLatin1String("count") ? QString() : QStringLiteral("a counter gives only \"count\"");
}

SourceKind counterSourceKind() {
  return {QStringLiteral("counter"), [](const nlohmann::json& j, const FieldReader& p) {
            auto s = std::make_unique<CounterSettings>();
            p.unknownMembers(j, {}, {"type", "step", "interval"});
            s->step = p.number(j, "step", QStringLiteral("step"), -1e6, 1e6).value_or(s->step);
            s->interval = p.number(j, "interval", QStringLiteral("interval"), 0.01, kMaxSeconds).value_or(s->interval);
            return s;
          }};
}

}  // namespace kyvdash
