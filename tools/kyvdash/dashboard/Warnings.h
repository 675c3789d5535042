#pragma once
// What --check warns of in a layout that has no errors: what would show wrong without
// being wrong. A feed whose readings, at its scale, reach beyond what its control shows;
// a label whose text is wider than its rectangle; a control smaller than its class draws
// legibly; a control too small for its own captions (an axis whose numbers are cut).
#include <QStringList>
#include <chrono>

namespace kyvdash {

class Dashboard;

// The warnings of the built dashboard `d`, written as layout errors are.
QStringList layoutWarnings(const Dashboard& d);

// What the servers the layout asks give its feeds now, each source asked once within
// `timeout`: a feed that shows one series given several, a `match` that no series or
// several meet, more series than a multi-bar's columns; a source that could not be asked,
// said so.
QStringList seriesWarnings(const Dashboard& d, std::chrono::milliseconds timeout);

}  // namespace kyvdash
