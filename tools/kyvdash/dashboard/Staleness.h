#pragma once
// Which controls show stale data: a feed with a stated time goes stale when its source has
// given it nothing for that long (counted from the start until its first reading), and
// its control is stale while any of its feeds is.
#include <QString>
#include <map>
#include <vector>

#include "Clock.h"

namespace kyvdash {

// "42 s", "3 min 5 s", "2 h 4 min".
QString formatAge(qint64 ms);

class Staleness {
 public:
  explicit Staleness(Clock clock) : clock_(std::move(clock)) {}

  // A feed of control `control`, reading `what` ("sys.cpu"), stale after `afterMs`; returns
  // its id for fresh().
  int add(int control, const QString& what, qint64 afterMs);
  // The feed had a reading now.
  void fresh(int feed) { feeds_[feed].last = clock_(); }
  bool empty() const { return feeds_.empty(); }

  struct Mark {
    bool stale = false;
    QString tooltip;  // one line per stale feed: "No reading from sys.cpu for 42 s"
  };
  // The state of every control that has a feed with a stated time, by control index.
  std::map<int, Mark> check() const;

 private:
  struct Feed {
    int control;
    QString what;
    qint64 afterMs;
    qint64 last;
  };
  Clock clock_;
  std::vector<Feed> feeds_;
};

}  // namespace kyvdash
