#pragma once
// What a member accepts and which errors it raises, found by trying values on fresh
// instances of its class, so that the reference pages say what the class does, not what
// someone wrote about it.
#include <string>
#include <vector>

#include "kyv/class_info.h"
#include "kyv/registry.h"

namespace kyvdoc {

struct Limits {
  std::string accepts;              // "0 to 10", "any Integer", "True or False", ...
  std::vector<std::string> raises;  // "invalid-property-value outside that", "with Maxlimit 0: division-by-zero"
  std::string returns;              // a method's C++ result type: "void", "int32_t"
};

// The limits of member `index` of `info`'s class, probed on instances made through
// `registry`, each at the class's default extent after InitProperties and Resize.
Limits probeLimits(kyv::Registry& registry, const kyv::ClassInfo& info, int index);

// The C++ type of values of `type`: "int16_t", "kyv::Colour", ...
std::string cxxType(kyv::VarType type);

}  // namespace kyvdoc
