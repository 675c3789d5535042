// kyvdoc [--registry FILE] FOLDER: writes the reference pages of every registered control
// into FOLDER, one Markdown page per class (members, events, stored properties, C++ types
// and calls, ranges and errors, the Qt widget), made from the class's own table, from
// values tried on new instances and from the widget catalog, and an index page README.md.
#include <QApplication>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Limits.h"
#include "QtWidgetSection.h"
#include "TypedCalls.h"
#include "kyv/class_info.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "kyv/registry.h"
#include "kyv/version.h"

namespace {

const char* const kUsage =
    "usage: kyvdoc [--registry FILE] FOLDER\n"
    "       kyvdoc [--registry FILE] --typed-calls FILE.cpp\n"
    "       kyvdoc --help | --version\n";

std::string number(float v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(text, end);
}

std::string hexId(kyv::DispId id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(id));
  return text;
}

std::string classPart(std::string_view className) { return std::string(className.substr(className.find('.') + 1)); }

std::string entries(int count, std::string_view varying) {
  return count >= 0 ? std::to_string(count) : std::string(varying);
}

void writeMembers(std::ostream& out, const kyv::ClassInfo& info) {
  out << "## Members\n\n"
         "In interface order; names match in any case, and a host may bind by dispatch id.\n\n"
         "| # | member | kind | type | argument | dispatch id | help |\n"
         "|---|---|---|---|---|---|---|\n";
  int n = 0;
  for (const kyv::MemberInfo& m : info.members()) {
    const bool method = m.kind == kyv::MemberKind::Method;
    std::string argument = "";
    if (method)
      argument = m.argType == kyv::VarType::Empty ? "none" : std::string(kyv::typeName(m.argType)) + ", by reference";
    out << "| " << ++n << " | `" << m.name << "` | " << (method ? "method" : "property") << " | "
        << kyv::typeName(m.type) << " | " << argument << " | `" << hexId(m.id) << "` | " << m.help << " |\n";
  }
}

// The notes of the class's table: what a member's help text does not say, or says wrongly.
// The page keeps the help text the class reports and adds these.
void writeNotes(std::ostream& out, const kyv::ClassInfo& info) {
  bool first = true;
  for (const kyv::MemberInfo& m : info.members()) {
    if (m.note.empty()) continue;
    if (first) out << "\nWhat the help text above does not say:\n\n";
    first = false;
    out << "- `" << m.name << "`: " << m.note << "\n";
  }
}

// The C++ type and the values of each Kyv type the class uses.
void writeTypes(std::ostream& out, const kyv::ClassInfo& info) {
  struct Described {
    kyv::VarType type;
    std::string_view values;
  };
  static constexpr Described kTypes[] = {
      {kyv::VarType::Integer, "-32768 to 32767; a wider number raises overflow"},
      {kyv::VarType::Long, "-2147483648 to 2147483647; a wider number raises overflow"},
      {kyv::VarType::Single, "a float; a number beyond its range raises overflow"},
      {kyv::VarType::Double, "a double"},
      {kyv::VarType::Boolean, "True or False; as a number True is -1, and any number but 0 is True"},
      {kyv::VarType::Colour,
       "`0x00BBGGRR`, or `0x800000nn` for system colour nn (0 to 30), which the host resolves through its "
       "palette"},
      {kyv::VarType::String, "UTF-8 text"},
  };
  out << "\n## C++ types\n\n| type | C++ | values |\n|---|---|---|\n";
  for (const Described& d : kTypes) {
    bool used = false;
    for (const kyv::MemberInfo& m : info.members()) used = used || m.type == d.type || m.argType == d.type;
    if (used) out << "| " << kyv::typeName(d.type) << " | `" << kyvdoc::cxxType(d.type) << "` | " << d.values << " |\n";
  }
}

std::string typedCall(const kyv::MemberInfo& m, const kyvdoc::Limits& limits) {
  const std::string name(m.name);
  if (m.kind == kyv::MemberKind::Property) {
    const std::string type = kyvdoc::cxxType(m.type);
    return "`" + type + " " + name + "()`, `set" + name + "(" + type + ")`";
  }
  const std::string argument = m.argType == kyv::VarType::Empty ? "" : kyvdoc::cxxType(m.argType) + "&";
  return "`" + limits.returns + " " + name + "(" + argument + ")`";
}

// The typed call of each member and what it accepts and raises, as new instances show.
void writeCalls(std::ostream& out, kyv::Registry& registry, const kyv::ClassInfo& info) {
  out << "\n## Typed C++ calls, ranges and errors\n\n"
         "Calls on `kyv::"
      << classPart(info.className())
      << "`; late-bound calls (`put`, `invoke`) accept and raise\n"
         "the same. What each member accepts was tried on new instances; a method's errors after\n"
         "a property was set to 0 or -1 are listed with that setting.\n\n"
         "| member | typed C++ | accepts | raises |\n|---|---|---|---|\n";
  for (int index = 0; index < static_cast<int>(info.members().size()); ++index) {
    const kyv::MemberInfo& m = info.members()[index];
    const kyvdoc::Limits limits = kyvdoc::probeLimits(registry, info, index);
    std::string raises;
    for (const std::string& r : limits.raises) raises += (raises.empty() ? "" : "; ") + r;
    out << "| `" << m.name << "` | " << typedCall(m, limits) << " | " << limits.accepts << " | " << raises << " |\n";
  }
}

void writeEvents(std::ostream& out, const kyv::ClassInfo& info) {
  out << "\n## Events\n\n";
  if (info.events().empty()) {
    out << "None.\n";
    return;
  }
  out << "| # | event | help |\n|---|---|---|\n";
  for (const kyv::EventInfo& e : info.events())
    out << "| " << e.number << " | `" << e.name << "` | " << e.help << " |\n";
}

void writeStored(std::ostream& out, const kyv::ClassInfo& info) {
  const std::vector<kyv::StoredInfo> reading = info.storedReadOrder();
  const std::vector<kyv::StoredInfo> writing = info.storedWriteOrder();
  out << "\n## Stored properties\n\n"
         "The property bag's keys in the order ReadProperties reads them. A key read or written\n"
         "more than once holds one entry per element of a group; an entry equal to its default\n"
         "is left out when written.\n\n"
         "| # | key | type | default | entries read | entries written |\n"
         "|---|---|---|---|---|---|\n";
  int n = 0;
  for (const kyv::StoredInfo& s : reading)
    out << "| " << ++n << " | `" << s.key << "` | " << kyv::typeName(s.type) << " | `" << s.fallback.display() << "` | "
        << entries(s.reads, s.entries) << " | " << entries(s.writes, s.entries) << " |\n";
  bool sameOrder = reading.size() == writing.size();
  for (size_t i = 0; sameOrder && i < reading.size(); ++i) sameOrder = reading[i].key == writing[i].key;
  if (sameOrder) {
    out << "\nWriteProperties writes them in the same order.\n";
    return;
  }
  out << "\nWriteProperties writes them in this order:";
  for (size_t i = 0; i < writing.size(); ++i) out << (i == 0 ? " `" : ", `") << writing[i].key << '`';
  out << ".\n";
}

// The smallest extent a host lays the control out at, when the class has one.
std::string smallest(const kyv::ClassInfo& info) {
  if (info.minimumWidth() <= 0 && info.minimumHeight() <= 0) return {};
  return "; smallest extent " + number(info.minimumWidth()) + " x " + number(info.minimumHeight()) + " twips";
}

std::string page(kyv::Registry& registry, const kyv::RegisteredClass& registered, const kyv::ClassInfo& info) {
  const std::string typed = classPart(info.className());
  std::ostringstream out;
  out << "# " << typed << "\n\n"
      << "Class name `" << info.className() << "`, in the control library `" << registered.library << "`.\n"
      << "Default extent " << number(info.defaultWidth()) << " x " << number(info.defaultHeight()) << " twips"
      << smallest(info) << ".\n"
      << "Typed C++ class `kyv::" << typed << "` in `<kyv/" << typed << ".h>`, linked as `Kyv::" << registered.library
      << "`.\n\n"
      << "This page is generated by `kyvdoc` from the class's table, from values tried on new instances\n"
      << "of the class and from the Qt widget catalog.\n\n";
  writeMembers(out, info);
  writeNotes(out, info);
  writeTypes(out, info);
  writeCalls(out, registry, info);
  writeEvents(out, info);
  writeStored(out, info);
  out << kyvdoc::qtWidgetSection(info.className());
  return out.str();
}

bool writeFile(const std::string& path, const std::string& text) {
  try {
    kyv::writeFileAtomically(path, text);
    return true;
  } catch (const kyv::Error& e) {
    std::cerr << "kyvdoc: " << e.what() << '\n';
    return false;
  }
}

// Writes the unit that checks every class's typed calls against its header.
bool writeCallChecks(kyv::Registry& registry, const std::string& path) {
  std::ostringstream unit;
  unit << "// Written by kyvdoc --typed-calls: the typed calls of the reference pages, checked.\n"
          "#include <type_traits>\n#include <utility>\n\n";
  for (const kyv::RegisteredClass& c : registry.registeredClasses())
    registry.describe(c.className,
                      [&](const kyv::ClassInfo& info) { unit << kyvdoc::typedCallChecks(registry, info); });
  return writeFile(path, unit.str());
}

}  // namespace

int main(int argc, char** argv) {
  // The widgets are only made to read their meta-objects: no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::string registryFile, folder, callsFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::cout << kUsage
                << "\nWrites one reference page per registered control class into FOLDER, or a C++\n"
                   "unit whose compilation checks the typed calls the pages name.\n";
      return 0;
    }
    if (arg == "--version") {
      std::cout << "kyvdoc " KYV_VERSION_STRING "\n";
      return 0;
    }
    if (arg == "--registry" && i + 1 < argc) {
      registryFile = argv[++i];
    } else if (arg == "--typed-calls" && i + 1 < argc) {
      callsFile = argv[++i];
    } else if (arg.rfind("-", 0) == 0 || !folder.empty()) {
      std::cerr << kUsage;
      return 2;
    } else {
      folder = arg;
    }
  }
  if (folder.empty() == callsFile.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    kyv::Registry registry(registryFile);
    if (!callsFile.empty()) return writeCallChecks(registry, callsFile) ? 0 : 1;
    std::ostringstream index;
    index << "# Control reference\n\n"
             "One page per control: its members, their C++ types and typed calls, what each\n"
             "accepts and the errors it raises, its events, stored properties and Qt widget,\n"
             "generated by `kyvdoc` from the class tables and the widget catalog.\n\n"
             "| control | class name | library |\n|---|---|---|\n";
    bool ok = true;
    for (const kyv::RegisteredClass& c : registry.registeredClasses()) {
      registry.describe(c.className, [&](const kyv::ClassInfo& info) {
        const std::string typed = classPart(info.className());
        ok = writeFile(folder + "/" + typed + ".md", page(registry, c, info)) && ok;
        index << "| [" << typed << "](" << typed << ".md) | `" << info.className() << "` | `" << c.library << "` |\n";
      });
    }
    return writeFile(folder + "/README.md", index.str()) && ok ? 0 : 1;
  } catch (const kyv::Error& e) {
    std::cerr << "kyvdoc: " << e.what() << '\n';
    return 1;
  }
}
