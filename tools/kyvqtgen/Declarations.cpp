#include "Declarations.h"

#include <optional>
#include <sstream>
#include <stdexcept>

namespace kyvqtgen {
namespace {

constexpr std::string_view kMarker = "@PROPERTIES";
constexpr size_t kCommentWidth = 96;  // of a comment line, its indentation included

// `text` as comment lines of at most kCommentWidth characters, indented by two.
std::string comment(std::string_view text) {
  std::ostringstream out;
  std::string line = "  //";
  std::istringstream words{std::string(text)};
  for (std::string word; words >> word;) {
    if (line.size() > 4 && line.size() + 1 + word.size() > kCommentWidth) {
      out << line << '\n';
      line = "  //";
    }
    line += ' ' + word;
  }
  out << line << '\n';
  return out.str();
}

std::string classList(const std::vector<std::string>& classNames) {
  std::string list = classNames.front();
  for (size_t i = 1; i < classNames.size(); ++i) list += (i + 1 == classNames.size() ? " and " : ", ") + classNames[i];
  return list;
}

std::string_view trimmed(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = line.find_last_not_of(" \t\r\n");
  return line.substr(first, last - first + 1);
}

// The class names of a marker line; nullopt for any other line.
std::optional<std::vector<std::string>> markerClasses(std::string_view line) {
  const std::string_view body = trimmed(line);
  if (body.size() <= kMarker.size() || body.substr(0, kMarker.size()) != kMarker || body.back() != '@')
    return std::nullopt;
  std::istringstream names{std::string(body.substr(kMarker.size(), body.size() - kMarker.size() - 1))};
  std::vector<std::string> classNames;
  for (std::string name; names >> name;) classNames.push_back(name);
  if (classNames.empty()) throw std::runtime_error("a marker line names no class: " + std::string(body));
  return classNames;
}

}  // namespace

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

std::string expandTemplate(std::string_view text,
                           const std::function<std::string(const std::vector<std::string>& classNames)>& declare) {
  std::string out;
  bool marked = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
    text.remove_prefix(line.size());
    const std::optional<std::vector<std::string>> classNames = markerClasses(line);
    if (!classNames) {
      out += line;
      continue;
    }
    marked = true;
    out += declare(*classNames);
  }
  if (!marked) throw std::runtime_error("the template has no line \"@PROPERTIES Lib.Class ...@\"");
  return out;
}

}  // namespace kyvqtgen
