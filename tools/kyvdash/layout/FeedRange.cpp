#include "FeedRange.h"

#include <cmath>
#include <limits>

namespace kyvdash {
namespace {

// The digit displays: how many digits their feed method `send` shows.
int digitsOf(const QString& className) {
  if (className.compare(QLatin1String("Kyv6Digit.sixseg"), Qt::CaseInsensitive) == 0) return 6;
  if (className.compare(QLatin1String("Kyv4Digit.fourseg"), Qt::CaseInsensitive) == 0) return 4;
  if (className.compare(QLatin1String("Kyv1Digit.sseg"), Qt::CaseInsensitive) == 0) return 1;
  return 0;
}

}  // namespace

QString FeedRange::text() const {
  return QStringLiteral("%1 to %2").arg(QString::number(low, 'g', 12), QString::number(high, 'g', 12));
}

FeedRange feedRange(const QString& className, const FeedMembers& members, const kyv::ClassInfo& info) {
  const bool send = QString::fromUtf8(info.members()[members.method].name.data(),
                                      static_cast<qsizetype>(info.members()[members.method].name.size()))
                        .compare(QLatin1String("send"), Qt::CaseInsensitive) == 0;
  if (const int digits = digitsOf(className); digits > 0 && send) return {0, std::pow(10.0, digits) - 1};
  switch (members.argType) {
    case kyv::VarType::Integer: return {-32768, 32767};
    case kyv::VarType::Long: return {-2147483648.0, 2147483647.0};
    case kyv::VarType::Single: return {-3.4e38, 3.4e38};
    default: return {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
  }
}

}  // namespace kyvdash
