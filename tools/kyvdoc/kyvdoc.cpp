// kyvdoc [--registry FILE] FOLDER: writes the reference pages of every registered control
// into FOLDER, one Markdown page per class (members, events, stored properties), made from
// the class's own table, and an index page README.md.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "kyv/class_info.h"
#include "kyv/error.h"
#include "kyv/registry.h"
#include "kyv/version.h"

namespace {

const char* const kUsage = "usage: kyvdoc [--registry FILE] FOLDER\n"
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

void writeEvents(std::ostream& out, const kyv::ClassInfo& info) {
  out << "\n## Events\n\n";
  if (info.events().empty()) {
    out << "None.\n";
    return;
  }
  out << "| # | event | help |\n|---|---|---|\n";
  for (const kyv::EventInfo& e : info.events()) out << "| " << e.number << " | `" << e.name << "` | " << e.help << " |\n";
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

std::string page(const kyv::RegisteredClass& registered, const kyv::ClassInfo& info) {
  const std::string typed = classPart(info.className());
  std::ostringstream out;
  out << "# " << typed << "\n\n"
      << "Class name `" << info.className() << "`, in the control library `" << registered.library << "`.\n"
      << "Default extent " << number(info.defaultWidth()) << " x " << number(info.defaultHeight()) << " twips"
      << smallest(info) << ".\n"
      << "Typed C++ class `kyv::" << typed << "` in `<kyv/" << typed << ".h>`, linked as `Kyv::" << registered.library
      << "`.\n\n"
      << "This page is generated from the class's table by `kyvdoc`.\n\n";
  writeMembers(out, info);
  writeEvents(out, info);
  writeStored(out, info);
  return out.str();
}

bool writeFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (file.good()) return true;
  std::cerr << "kyvdoc: cannot write " << path << '\n';
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string registryFile, folder;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::cout << kUsage << "\nWrites one reference page per registered control class into FOLDER.\n";
      return 0;
    }
    if (arg == "--version") {
      std::cout << "kyvdoc " KYV_VERSION_STRING "\n";
      return 0;
    }
    if (arg == "--registry" && i + 1 < argc) {
      registryFile = argv[++i];
    } else if (arg.rfind("-", 0) == 0 || !folder.empty()) {
      std::cerr << kUsage;
      return 2;
    } else {
      folder = arg;
    }
  }
  if (folder.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    kyv::Registry registry(registryFile);
    std::ostringstream index;
    index << "# Control reference\n\n"
             "One page per control: its members, events and stored properties, generated from\n"
             "the class tables by `kyvdoc`.\n\n"
             "| control | class name | library |\n|---|---|---|\n";
    bool ok = true;
    for (const kyv::RegisteredClass& c : registry.registeredClasses()) {
      registry.describe(c.className, [&](const kyv::ClassInfo& info) {
        const std::string typed = classPart(info.className());
        ok = writeFile(folder + "/" + typed + ".md", page(c, info)) && ok;
        index << "| [" << typed << "](" << typed << ".md) | `" << info.className() << "` | `" << c.library << "` |\n";
      });
    }
    return writeFile(folder + "/README.md", index.str()) && ok ? 0 : 1;
  } catch (const kyv::Error& e) {
    std::cerr << "kyvdoc: " << e.what() << '\n';
    return 1;
  }
}
