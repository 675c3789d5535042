#include "FeedRange.h"

#include <limits>

namespace kyvdash {

QString FeedRange::text() const {
  return QStringLiteral("%1 to %2").arg(QString::number(low, 'g', 12), QString::number(high, 'g', 12));
}

// The readings the class says its feed shows as they are (a six-digit display: 0 to
// 999999); else those its argument's type holds.
FeedRange feedRange(const FeedMembers& members, const kyv::ClassInfo& info) {
  const kyv::FeedInfo& feed = info.members()[members.method].feed;
  if (feed.shows) return {static_cast<double>(feed.shows->low), static_cast<double>(feed.shows->high)};
  switch (members.argType) {
    case kyv::VarType::Integer: return {-32768, 32767};
    case kyv::VarType::Long: return {-2147483648.0, 2147483647.0};
    case kyv::VarType::Single: return {-3.4e38, 3.4e38};
    default: return {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
  }
}

}  // namespace kyvdash
