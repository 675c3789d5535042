#include "FeedMap.h"

#include <algorithm>
#include <cmath>

#include "SeriesPick.h"
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

// Calls the target's Column (when it selects one: `column`, else the feed's own) and feed
// method with `arg`; raises what the control raises, with `*inColumn` true while Column runs.
void call(const FeedMap::Target& t, kyv::Variant& arg, bool* inColumn, std::optional<int> column = std::nullopt) {
  *inColumn = t.members.column >= 0;
  if (*inColumn) {
    kyv::Variant selected(static_cast<int16_t>(column ? *column : *t.column));
    t.widget->invoke(t.members.column, kyv::Invoke::Call, &selected);
  }
  *inColumn = false;
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
  // Every column of a feed of columns is given a series or 0 by the first answer: none
  // keeps what the control showed before it.
  routes_[source][field].push_back({target, false, false, target.columnsBy ? target.columns : 0});
}

void FeedMap::deliver(const QString& source, const QString& field, double reading) {
  const auto s = routes_.find(source);
  if (s == routes_.end()) return;
  const auto f = s->find(field);
  if (f == s->end()) return;
  for (Entry& e : *f)
    if (!e.target.bySeries()) feed(e, reading);
}

void FeedMap::hold(int control, bool held) {
  if (control >= static_cast<int>(held_.size())) held_.resize(control + 1, false);
  held_[control] = held;
}

void FeedMap::deliverSeries(const QString& source, const QString& field, const std::vector<Series>& all) {
  const auto s = routes_.find(source);
  if (s == routes_.end()) return;
  const auto f = s->find(field);
  if (f == s->end()) return;
  for (Entry& e : *f) {
    const Target& t = e.target;
    if (t.columnsBy) {
      feedColumns(e, all);
      continue;
    }
    if (t.match.empty()) {
      if (chosen_ && !all.empty()) chosen_(t, {&all.front()}, static_cast<int>(all.size()));
      continue;
    }
    const std::vector<const Series*> found = matchingSeries(all, t.match);
    if (chosen_) chosen_(t, found.empty() ? found : std::vector<const Series*>{found.front()}, int(found.size()));
    if (!found.empty()) feed(e, found.front()->value);
  }
}

void FeedMap::feedColumns(Entry& e, const std::vector<Series>& all) {
  const Target& t = e.target;
  int left = 0;
  const std::vector<Column> columns = seriesColumns(all, *t.columnsBy, t.match, t.columns, &left);
  std::vector<const Series*> shown;
  for (const Column& c : columns) shown.push_back(c.series);
  if (chosen_) chosen_(t, shown, static_cast<int>(columns.size()) + left);
  for (size_t i = 0; i < columns.size(); ++i) feed(e, columns[i].series->value, static_cast<int>(i));
  // A column whose series went (or moved up) shows nothing rather than its last value.
  for (int i = static_cast<int>(columns.size()); i < e.columnsFed; ++i) give(e, 0, i);
  e.columnsFed = static_cast<int>(columns.size());
}

void FeedMap::feed(Entry& e, double reading, std::optional<int> column) {
  give(e, reading * e.target.scale + e.target.offset, column);
}

void FeedMap::give(Entry& e, double value, std::optional<int> column) {
  const Target& t = e.target;
  if (held(t.control)) return;
  // Not a number (Prometheus's NaN) is no reading: nothing is passed on or marked.
  if (std::isnan(value)) return;
  if (const bool fits = t.range.contains(value); !fits || e.unshown) {
    e.unshown = !fits;
    if (unshown_) unshown_(t, value, fits);
  }
  std::optional<kyv::Variant> arg = feedArgument(value, t.members.argType);
  if (!arg) return;
  if (fed_) fed_(t, *arg);
  bool inColumn = false;
  try {
    call(t, *arg, &inColumn, column);
    e.failing = false;
  } catch (const kyv::Error& error) {
    if (e.failing) return;
    e.failing = true;
    const QString member =
        inColumn ? QStringLiteral("Column") : utf8(t.widget->control()->classInfo().members()[t.members.method].name);
    if (failed_)
      failed_(
          t,
          QStringLiteral("%1: %2: %3").arg(member, utf8(kyv::kindName(error.kind())), QString::fromUtf8(error.what())));
  }
}

}  // namespace kyvdash
