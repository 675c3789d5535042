#pragma once
// Time as the dashboard reads it: milliseconds of a steady clock. Parts that act on time
// (staleness, hold-offs) take a Clock so that tests can move time themselves.
#include <QtGlobal>
#include <chrono>
#include <cmath>
#include <functional>

namespace kyvdash {

using Clock = std::function<qint64()>;

// Milliseconds since an arbitrary start, never going back.
Clock steadyClock();

// `seconds` (as a layout or the command line gives them) to the nearest millisecond.
inline std::chrono::milliseconds fromSeconds(double seconds) {
  return std::chrono::milliseconds(std::llround(seconds * 1000));
}

}  // namespace kyvdash
