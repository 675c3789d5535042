#include "Staleness.h"

#include <QStringList>

namespace kyvdash {

QString formatAge(qint64 ms) {
  const qint64 s = ms / 1000;
  if (s < 60) return QStringLiteral("%1 s").arg(s);
  if (s < 3600) return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
  return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60);
}

int Staleness::add(int control, const QString& what, qint64 afterMs) {
  feeds_.push_back({control, what, afterMs, clock_()});
  return static_cast<int>(feeds_.size()) - 1;
}

std::map<int, Staleness::Mark> Staleness::check() const {
  const qint64 now = clock_();
  std::map<int, Mark> marks;
  for (const Feed& f : feeds_) {
    Mark& m = marks[f.control];
    const qint64 age = now - f.last;
    if (age < f.afterMs) continue;
    m.stale = true;
    if (!m.tooltip.isEmpty()) m.tooltip += u'\n';
    m.tooltip += QStringLiteral("No reading from %1 for %2").arg(f.what, formatAge(age));
  }
  return marks;
}

}  // namespace kyvdash
