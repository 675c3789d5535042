#include "Limits.h"

#include <cstdint>
#include <optional>
#include <set>

#include "kyv/control.h"
#include "kyv/error.h"

namespace kyvdoc {
namespace {

// The outcome of one try: nullopt when the member took the value, else the error's kind.
using Outcome = std::optional<kyv::ErrorKind>;

struct Range {
  int64_t lowest, highest;
};

Range rangeOf(kyv::VarType type) {
  if (type == kyv::VarType::Long) return {INT32_MIN, INT32_MAX};
  return {INT16_MIN, INT16_MAX};
}

kyv::Variant valueOf(kyv::VarType type, int64_t v) {
  if (type == kyv::VarType::Long) return kyv::Variant(static_cast<int32_t>(v));
  return kyv::Variant(static_cast<int16_t>(v));
}

std::string kind(kyv::ErrorKind k) { return std::string(kyv::kindName(k)); }

class Prober {
 public:
  Prober(kyv::Registry& registry, const kyv::ClassInfo& info, int index)
      : registry_(registry), info_(info), index_(index), member_(info.members()[index]) {}

  Limits run() {
    Limits limits;
    const bool method = member_.kind == kyv::MemberKind::Method;
    const kyv::VarType type = method ? member_.argType : member_.type;
    if (type == kyv::VarType::Integer || type == kyv::VarType::Long)
      probeNumbers(type, limits);
    else if (type == kyv::VarType::Colour)
      probeColours(limits);
    else if (type == kyv::VarType::Boolean)
      limits.accepts = "True or False";
    else if (type == kyv::VarType::String)
      limits.accepts = "any text";
    if (method) {
      probeStates(type, limits);
      limits.returns = resultType(type);
    }
    return limits;
  }

 private:
  kyv::ControlPtr fresh() const {
    kyv::ControlPtr control = registry_.create(std::string(info_.className()));
    control->UserControl().setRectTwips(0, 0, info_.defaultWidth(), info_.defaultHeight());
    control->InitProperties();
    control->Resize();
    return control;
  }

  // Writes the property or calls the method with `value` on `control`.
  Outcome apply(kyv::Control& control, const kyv::Variant& value) const {
    kyv::Variant arg = value;
    try {
      const bool method = member_.kind == kyv::MemberKind::Method;
      const bool noArgument = method && member_.argType == kyv::VarType::Empty;
      control.invoke(index_, method ? kyv::Invoke::Call : kyv::Invoke::Put, noArgument ? nullptr : &arg);
      return std::nullopt;
    } catch (const kyv::Error& e) {
      return e.kind();
    }
  }

  Outcome attempt(const kyv::Variant& value) const {
    kyv::ControlPtr control = fresh();
    return apply(*control, value);
  }

  // The accepted value farthest from `inside` towards the refused `outside`, found by
  // halving, on the assumption that the accepted values form one interval.
  int64_t edge(kyv::VarType type, int64_t inside, int64_t outside) const {
    while (inside - outside > 1 || outside - inside > 1) {
      const int64_t middle = inside + (outside - inside) / 2;
      if (attempt(valueOf(type, middle)))
        outside = middle;
      else
        inside = middle;
    }
    return inside;
  }

  void probeNumbers(kyv::VarType type, Limits& limits) {
    const Range range = rangeOf(type);
    std::optional<int64_t> start;
    for (const int64_t v : {int64_t{0}, int64_t{1}, int64_t{-1}, range.lowest, range.highest})
      if (!attempt(valueOf(type, v))) {
        start = v;
        break;
      }
    if (!start) {
      limits.accepts = "no value, as a new instance";
      return;
    }
    const int64_t lowest = attempt(valueOf(type, range.lowest)) ? edge(type, *start, range.lowest) : range.lowest;
    const int64_t highest = attempt(valueOf(type, range.highest)) ? edge(type, *start, range.highest) : range.highest;
    if (lowest == range.lowest && highest == range.highest) {
      limits.accepts = "any " + std::string(kyv::typeName(type));
      return;
    }
    limits.accepts = std::to_string(lowest) + " to " + std::to_string(highest);
    std::set<std::string> kinds;
    if (lowest > range.lowest) kinds.insert(kind(*attempt(valueOf(type, lowest - 1))));
    if (highest < range.highest) kinds.insert(kind(*attempt(valueOf(type, highest + 1))));
    for (const std::string& k : kinds) limits.raises.push_back(k + " for a value outside that");
  }

  void probeColours(Limits& limits) {
    const bool plain = !attempt(kyv::Variant(kyv::Colour{0x00FFFFFF})) && !attempt(kyv::Variant(kyv::Colour{0}));
    const bool system =
        !attempt(kyv::Variant(kyv::Colour{0x80000000})) && !attempt(kyv::Variant(kyv::Colour{0x8000001E}));
    const Outcome unknown = attempt(kyv::Variant(kyv::Colour{0x8000001F}));
    const Outcome other = attempt(kyv::Variant(kyv::Colour{0x01000000}));
    if (!(plain && system)) {
      limits.accepts = "some colours only";
      return;
    }
    if (!unknown && !other) {
      limits.accepts = "any Colour, even one that is neither plain nor a known system colour";
      return;
    }
    limits.accepts = "plain colours 0x00BBGGRR and system colours 0x80000000 to 0x8000001E";
    std::set<std::string> kinds;
    if (unknown) kinds.insert(kind(*unknown));
    if (other) kinds.insert(kind(*other));
    for (const std::string& k : kinds) limits.raises.push_back(k + " for any other value");
  }

  // Errors a call raises only after another property was given 0 or -1.
  void probeStates(kyv::VarType argType, Limits& limits) {
    const bool numeric = argType == kyv::VarType::Integer || argType == kyv::VarType::Long;
    const std::vector<kyv::Variant> args =
        numeric ? std::vector<kyv::Variant>{valueOf(argType, 0), valueOf(argType, 1)} : std::vector<kyv::Variant>{{}};
    std::set<std::string> seen;
    for (int p = 0; p < static_cast<int>(info_.members().size()); ++p) {
      const kyv::MemberInfo& property = info_.members()[p];
      if (property.kind != kyv::MemberKind::Property) continue;
      if (property.type != kyv::VarType::Integer && property.type != kyv::VarType::Long) continue;
      for (const int64_t setting : {int64_t{0}, int64_t{-1}}) {
        for (const kyv::Variant& arg : args) {
          if (attempt(arg)) continue;  // fails in any state
          kyv::ControlPtr control = fresh();
          kyv::Variant value = valueOf(property.type, setting);
          try {
            control->invoke(p, kyv::Invoke::Put, &value);
          } catch (const kyv::Error&) {
            continue;
          }
          const Outcome outcome = apply(*control, arg);
          if (!outcome) continue;
          const std::string line =
              "with " + std::string(property.name) + " " + std::to_string(setting) + ": " + kind(*outcome);
          if (seen.insert(line).second) limits.raises.push_back(line);
        }
      }
    }
  }

  std::string resultType(kyv::VarType argType) const {
    const bool numeric = argType == kyv::VarType::Integer || argType == kyv::VarType::Long;
    kyv::ControlPtr control = fresh();
    kyv::Variant arg = numeric ? valueOf(argType, 0) : kyv::Variant();
    try {
      const kyv::Variant result = control->invoke(index_, kyv::Invoke::Call, numeric ? &arg : nullptr);
      return result.isEmpty() ? "void" : cxxType(result.type());
    } catch (const kyv::Error&) {
      return cxxType(member_.type);
    }
  }

  kyv::Registry& registry_;
  const kyv::ClassInfo& info_;
  int index_;
  const kyv::MemberInfo& member_;
};

}  // namespace

std::string cxxType(kyv::VarType type) {
  switch (type) {
    case kyv::VarType::Integer: return "int16_t";
    case kyv::VarType::Long: return "int32_t";
    case kyv::VarType::Single: return "float";
    case kyv::VarType::Double: return "double";
    case kyv::VarType::Boolean: return "bool";
    case kyv::VarType::Colour: return "kyv::Colour";
    case kyv::VarType::String: return "std::string";
    case kyv::VarType::Empty: return "void";
    case kyv::VarType::Variant: break;
  }
  return "kyv::Variant";
}

Limits probeLimits(kyv::Registry& registry, const kyv::ClassInfo& info, int index) {
  return Prober(registry, info, index).run();
}

}  // namespace kyvdoc
