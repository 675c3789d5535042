#include "FeedMap.h"

#include <algorithm>
#include <cmath>

#include "Utf8.h"
#include "kyv/error.h"
#include "kyv/qt/ControlWidget.h"

namespace kyvdash {

std::optional<kyv::Variant> feedArgument(double reading, kyv::VarType type) {
  if (std::isnan(reading)) return std::nullopt;
  switch (type) {
    case kyv::VarType::Integer: return kyv::Variant(std::clamp(reading, -32768.0, 32767.0)).toInteger();
    case kyv::VarType::Long: return kyv::Variant(std::clamp(reading, -2147483648.0, 2147483647.0)).toLong();
    case kyv::VarType::Single: return kyv::Variant(static_cast<float>(std::clamp(reading, -3.4e38, 3.4e38)));
    default: return kyv::Variant(reading);
  }
}

void FeedMap::add(const QString& source, const QString& field, const Target& target) {
  routes_[source][field].push_back({target});
}

void FeedMap::deliver(const QString& source, const QString& field, double reading) {
  const auto s = routes_.find(source);
  if (s == routes_.end()) return;
  const auto f = s->find(field);
  if (f == s->end()) return;
  for (Entry& e : *f) feed(e, reading);
}

void FeedMap::hold(int control, bool held) {
  if (control >= static_cast<int>(held_.size())) held_.resize(control + 1, false);
  held_[control] = held;
}

void FeedMap::feed(Entry& e, double reading) {
  const Target& t = e.target;
  if (held(t.control)) return;
  const double value = reading * t.scale + t.offset;
  // Not a number (Prometheus's NaN) is no reading: nothing is passed on or marked.
  if (std::isnan(value)) return;
  if (const bool fits = t.range.contains(value); !fits || e.unshown) {
    e.unshown = !fits;
    if (unshown_) unshown_(t, value, fits);
  }
  std::optional<kyv::Variant> arg = feedArgument(value, t.members.argType);
  if (!arg) return;
  if (fed_) fed_(t, *arg);
  const char* step = "Column";
  try {
    if (t.members.column >= 0) {
      kyv::Variant column(static_cast<int16_t>(*t.column));
      t.widget->invoke(t.members.column, kyv::Invoke::Call, &column);
    }
    step = nullptr;
    t.widget->invoke(t.members.method, kyv::Invoke::Call, &*arg);
    e.failing = false;
  } catch (const kyv::Error& error) {
    if (e.failing) return;
    e.failing = true;
    const QString member =
        step ? QString::fromLatin1(step) : utf8(t.widget->control()->classInfo().members()[t.members.method].name);
    if (failed_)
      failed_(
          t,
          QStringLiteral("%1: %2: %3").arg(member, utf8(kyv::kindName(error.kind())), QString::fromUtf8(error.what())));
  }
}

}  // namespace kyvdash
