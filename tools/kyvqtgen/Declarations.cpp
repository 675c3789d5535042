#include "Declarations.h"

#include <sstream>
#include <stdexcept>

namespace kyvqtgen {
namespace {

std::string classList(const std::vector<std::string>& classNames) {
  std::string list = classNames.front();
  for (size_t i = 1; i < classNames.size(); ++i) list += (i + 1 == classNames.size() ? " and " : ", ") + classNames[i];
  return list;
}

}  // namespace

// Words are never cut: a word longer than a line has a line of its own.
std::string comment(std::string_view text, std::string_view indent) {
  constexpr size_t kCommentWidth = 96;  // of a comment line, its indentation included
  const std::string opening = std::string(indent) + "//";
  std::ostringstream out;
  std::string line = opening;
  std::istringstream words{std::string(text)};
  for (std::string word; words >> word;) {
    if (line.size() > opening.size() && line.size() + 1 + word.size() > kCommentWidth) {
      out << line << '\n';
      line = opening;
    }
    line += ' ' + word;
  }
  out << line << '\n';
  return out.str();
}

std::string headerDeclarations(const std::vector<std::string>& classNames,
                               const std::vector<TableProperty>& properties) {
  std::ostringstream out;
  const std::string tables = classNames.size() == 1 ? "the class table of " : "the class tables (which agree) of ";
  out << comment("The control's properties, declared by kyvqtgen from " + tables + classList(classNames) +
                 ": one per property row, named as the control's member.");
  for (const TableProperty& p : properties) {
    out << "  Q_PROPERTY(" << p.type.cxx << ' ' << p.name << " READ " << p.name << " WRITE set" << p.name;
    if (p.resettable) out << " RESET reset" << p.name;
    out << " NOTIFY " << p.name << "Changed)\n";
  }
  out << "\n public:\n";
  for (const TableProperty& p : properties) {
    out << comment(p.doc) << "  " << p.type.cxx << ' ' << p.name << "() const { return read" << p.type.suffix << "(\""
        << p.name << "\"); }\n"
        << "  void set" << p.name << '(' << p.type.parameter << ") { write" << p.type.suffix << "(\"" << p.name
        << "\", value); }\n";
    if (p.resettable) out << "  void reset" << p.name << "() { resetToDefault(\"" << p.name << "\"); }\n";
    out << '\n';
  }
  out << " signals:\n";
  for (const TableProperty& p : properties) out << "  void " << p.name << "Changed();\n";
  return out.str();
}

std::string sipDeclarations(const std::vector<TableProperty>& properties) {
  std::ostringstream out;
  out << "public:\n";
  for (const TableProperty& p : properties) {
    out << "    " << p.type.cxx << ' ' << p.name << "() const;\n"
        << "    void set" << p.name << '(' << p.type.sip << ");\n";
    if (p.resettable) out << "    void reset" << p.name << "();\n";
  }
  out << "\nsignals:\n";
  for (const TableProperty& p : properties) out << "    void " << p.name << "Changed();\n";
  return out.str();
}

std::string expandTemplate(std::string_view text, std::string_view marker, const std::string& replacement) {
  std::string out;
  int marked = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
    text.remove_prefix(line.size());
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t\r\n");
    if (first == std::string_view::npos || line.substr(first, last - first + 1) != marker) {
      out += line;
      continue;
    }
    ++marked;
    out += replacement;
  }
  if (marked != 1)
    throw std::runtime_error("the template must have one line \"" + std::string(marker) + "\", not " +
                             std::to_string(marked));
  return out;
}

}  // namespace kyvqtgen
