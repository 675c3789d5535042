#pragma once
// The text of a label that shows a reading: `{value}` as the shortest exact text,
// `{value:.1f}` with a fixed number of decimals (0 to 9), `{value:si}` with three significant
// digits and an SI prefix followed by a space ("1.23 M", "950 ", "12.5 m"), so that
// `{value:si}B/s` reads "1.23 MB/s".
#include <QString>
#include <optional>

namespace kyvdash {

// What is wrong with `text` as a label's text (a placeholder other than the three forms,
// or one in a label with no feed); empty when nothing is.
QString labelTextProblem(const QString& text, bool fed);

// `text` with each placeholder replaced by `value`, or by "-" while there is none.
QString formatLabel(const QString& text, std::optional<double> value);

}  // namespace kyvdash
