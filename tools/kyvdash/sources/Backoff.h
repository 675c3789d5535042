#pragma once
// Delays between the retries of something that keeps failing: the first delay, doubled
// after each failure up to a ceiling, and back to the first after a success.
#include <algorithm>
#include <chrono>

namespace kyvdash {

class Backoff {
 public:
  using ms = std::chrono::milliseconds;
  explicit Backoff(ms first = ms(1000), ms ceiling = ms(60000)) : first_(first), ceiling_(std::max(first, ceiling)) {}

  // The delay before the next retry; each call doubles the one after.
  ms next() {
    const ms delay = next_;
    next_ = std::min(ceiling_, next_ * 2);
    return delay;
  }
  void reset() { next_ = first_; }

 private:
  ms first_, ceiling_;
  ms next_ = first_;
};

}  // namespace kyvdash
