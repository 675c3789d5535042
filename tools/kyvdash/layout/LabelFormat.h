#pragma once
// The text of a label that shows a reading: `{value}` as the shortest exact text,
// `{value:.1f}` with a fixed number of decimals (0 to 9), `{value:si}` with three significant
// digits and an SI prefix followed by a space ("1.23 M", "950 ", "12.5 m"), so that
// `{value:si}B/s` reads "1.23 MB/s". A label fed by a server's alerts may show `{alerts}`:
// what fires, counted and named.
#include <QString>
#include <optional>

namespace kyvdash {

// What is wrong with `text` as a label's text (a placeholder other than the three forms and
// {alerts}, one in a label with no feed, {alerts} in one not fed by alerts); empty when
// nothing is.
QString labelTextProblem(const QString& text, bool fed, bool alertsFed = false);

// `text` with each placeholder replaced by `value`, or by "-" while there is none, and
// {alerts} by `alerts` (a dash while empty).
QString formatLabel(const QString& text, std::optional<double> value, const QString& alerts = {});

}  // namespace kyvdash
