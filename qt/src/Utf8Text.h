#pragma once
// The framework's UTF-8 text, which is not terminated, as Qt's.
#include <QString>
#include <string_view>

namespace kyvqt {

inline QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace kyvqt
