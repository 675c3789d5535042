#pragma once
// What --check warns of in a layout that has no errors: what would show wrong without
// being wrong. A feed whose readings, at its scale, reach beyond what its control shows;
// a label whose text is wider than its rectangle; a control smaller than its class draws
// legibly; a control too small for its own captions (an axis whose numbers are cut).
#include <QStringList>

namespace kyvdash {

class Dashboard;

// The warnings of the built dashboard `d`, written as layout errors are.
QStringList layoutWarnings(const Dashboard& d);

}  // namespace kyvdash
