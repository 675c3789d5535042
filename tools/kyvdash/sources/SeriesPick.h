#pragma once
// Choosing among the series of a field that gives several (a query's instant vector): the
// one a feed's `match` names, or one a column of a multi-bar, in a stable natural order.
#include <QString>
#include <vector>

#include "Readings.h"

namespace kyvdash {

// Natural order: runs of digits compare as numbers ("host2" before "host10"), the rest as text.
bool naturalLess(const QString& a, const QString& b);

// Whether `labels` hold every pair of `match` (an empty match is held by every set).
bool labelsInclude(const Labels& labels, const Labels& match);

// The series of `all` whose labels include `match`, in the natural order of their labels.
std::vector<const Series*> matchingSeries(const std::vector<Series>& all, const Labels& match);

// One column of a multi-bar: its name (the value of the chosen label) and its series.
struct Column {
  QString name;
  const Series* series = nullptr;
};

// The series of `all` that include `match`, one a column in the natural order of their
// label `by` (series without it last), up to `columns`; `left` counts those beyond them.
std::vector<Column> seriesColumns(const std::vector<Series>& all, const QString& by, const Labels& match, int columns,
                                  int* left);

// "{device="eth0", instance="host1"}".
QString labelsText(const Labels& labels);

}  // namespace kyvdash
