#pragma once
// Time as the dashboard reads it: milliseconds of a steady clock. Parts that act on time
// (staleness, hold-offs) take a Clock so that tests can move time themselves.
#include <QtGlobal>
#include <functional>

namespace kyvdash {

using Clock = std::function<qint64()>;

// Milliseconds since an arbitrary start, never going back.
Clock steadyClock();

}  // namespace kyvdash
