#include "TypedCalls.h"

#include <sstream>

#include "Limits.h"

namespace kyvdoc {

std::string typedCallChecks(kyv::Registry& registry, const kyv::ClassInfo& info) {
  const std::string_view name = info.className();
  const std::string typed(name.substr(name.find('.') + 1));
  std::ostringstream out;
  out << "#include <kyv/" << typed << ".h>\n\n"
      << "namespace " << typed << "_calls {\n"
      << "using C = kyv::" << typed << ";\n";
  for (int index = 0; index < static_cast<int>(info.members().size()); ++index) {
    const kyv::MemberInfo& m = info.members()[index];
    if (m.kind == kyv::MemberKind::Property) {
      const std::string type = cxxType(m.type);
      out << "static_assert(std::is_same_v<decltype(std::declval<C&>()." << m.name << "()), " << type << ">);\n"
          << "static_assert(std::is_same_v<decltype(std::declval<C&>().set" << m.name << "(std::declval<" << type
          << ">())), void>);\n";
      continue;
    }
    const std::string argument = m.argType == kyv::VarType::Empty ? "" : "std::declval<" + cxxType(m.argType) + "&>()";
    out << "static_assert(std::is_same_v<decltype(std::declval<C&>()." << m.name << "(" << argument << ")), "
        << probeLimits(registry, info, index).returns << ">);\n";
  }
  out << "}  // namespace " << typed << "_calls\n\n";
  return out.str();
}

}  // namespace kyvdoc
