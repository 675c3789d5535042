#pragma once
// A C++ translation unit that checks the typed calls the reference pages name against the
// typed classes' headers: for each member, static_asserts on the exact types of its getter
// and setter, or of its method's argument and result. Compiling it is the check.
#include <string>

#include "kyv/class_info.h"
#include "kyv/registry.h"

namespace kyvdoc {

// The header include and the static_asserts for `info`'s typed class.
std::string typedCallChecks(kyv::Registry& registry, const kyv::ClassInfo& info);

}  // namespace kyvdoc
