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

namespace {

// Calls the target's Column (when it selects one) and feed method with `arg`; raises what
// the control raises, with `*column` true while Column runs.
void call(const FeedMap::Target& t, kyv::Variant& arg, bool* column) {
  *column = t.members.column >= 0;
  if (*column) {
    kyv::Variant selected(static_cast<int16_t>(*t.column));
    t.widget->invoke(t.members.column, kyv::Invoke::Call, &selected);
  }
  *column = false;
  t.widget->invoke(t.members.method, kyv::Invoke::Call, &arg);
}

}  // namespace

bool FeedMap::replay(const Target& t, double reading) {
  std::optional<kyv::Variant> arg = feedArgument(reading * t.scale + t.offset, t.members.argType);
  if (!arg) return false;
  bool column = false;
  try {
    call(t, *arg, &column);
    return true;
  } catch (const kyv::Error&) {
    return false;
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

void FeedMap::feed(Entry& e, double reading) {
  const Target& t = e.target;
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
  bool column = false;
  try {
    call(t, *arg, &column);
    e.failing = false;
  } catch (const kyv::Error& error) {
    if (e.failing) return;
    e.failing = true;
    const QString member =
        column ? QStringLiteral("Column") : utf8(t.widget->control()->classInfo().members()[t.members.method].name);
    if (failed_)
      failed_(
          t,
          QStringLiteral("%1: %2: %3").arg(member, utf8(kyv::kindName(error.kind())), QString::fromUtf8(error.what())));
  }
}

}  // namespace kyvdash
