#pragma once
// The framework's UTF-8 texts (names, messages), which are not terminated, as Qt's.
#include <QString>
#include <string_view>

namespace kyvdash {

inline QString utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace kyvdash
