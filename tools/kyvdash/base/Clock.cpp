#include "Clock.h"

#include <QElapsedTimer>

namespace kyvdash {

Clock steadyClock() {
  return [] {
    static const QElapsedTimer started = [] {
      QElapsedTimer t;
      t.start();
      return t;
    }();
    return started.elapsed();
  };
}

}  // namespace kyvdash
