#pragma once
// Names in this family (members, events, bag keys, class names) compare without regard to
// the case of ASCII letters.
#include <string>
#include <string_view>

#include "kyv/export.h"

namespace kyv {

// True when `a` and `b` are the same name in any case of their ASCII letters.
KYV_API bool sameName(std::string_view a, std::string_view b);
// `name` with its ASCII capitals made small: the key under which sameName names match.
KYV_API std::string foldedName(std::string_view name);

}  // namespace kyv
