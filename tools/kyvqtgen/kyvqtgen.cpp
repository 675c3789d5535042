// kyvqtgen --registry FILE --libraries LIB,... (--widgets DIR [--catalog] | --sip TEMPLATE OUTPUT
// | --python DIR): writes the typed Qt widgets of the control libraries LIB, ... (in that
// order) from their classes' tables, which it reads through the registry of FILE:
//   --widgets  each widget's header and their source into DIR (see WidgetFiles.h); with
//              --catalog, also Widgets.h and the catalog of every widget;
//   --sip      the PyQt6 binding: TEMPLATE with its line "@WIDGETS@" replaced by the widgets;
//   --python   kyv.qt's names of the widgets and its type stubs into DIR.
// A file is left untouched when its text is already the one written, so that what includes
// it is not rebuilt; in DIR, a header written before for a widget there is no more is
// removed. Exit status 0 on success, 1 on an error, 2 on bad usage.
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BindingFiles.h"
#include "Declarations.h"
#include "WidgetFiles.h"
#include "WidgetModel.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "kyv/registry.h"

namespace {

const char* const kUsage =
    "usage: kyvqtgen --registry FILE --libraries LIB,... (--widgets DIR [--catalog] | --sip TEMPLATE OUTPUT | "
    "--python DIR)\n";
const std::string kBanner = "Written by kyvqtgen from the class tables of the controls: edit those, not this file.";

struct Options {
  std::string registry, mode, target, output;
  std::vector<std::string> libraries;
  bool catalog = false;
};

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--registry" && hasValue) {
      o.registry = argv[++i];
    } else if (arg == "--libraries" && hasValue) {
      o.libraries = split(argv[++i]);
    } else if ((arg == "--widgets" || arg == "--python") && hasValue && o.mode.empty()) {
      o.mode = arg;
      o.target = argv[++i];
    } else if (arg == "--sip" && i + 2 < argc && o.mode.empty()) {
      o.mode = arg;
      o.target = argv[++i];
      o.output = argv[++i];
    } else if (arg == "--catalog") {
      o.catalog = true;
    } else {
      return false;
    }
  }
  return !o.mode.empty() && !o.libraries.empty() && (!o.catalog || o.mode == "--widgets");
}

// The banner as a comment of the file's language.
std::string banner(const std::string& name) {
  const bool python =
      name.size() > 3 && (name.substr(name.size() - 3) == ".py" || name.substr(name.size() - 4) == ".pyi");
  return (python ? "# " : "// ") + kBanner + "\n";
}

// Rewrites `path` only when `text` differs, so that what includes it is not rebuilt for nothing.
void writeIfChanged(const std::string& path, const std::string& text) {
  try {
    if (kyv::readFileAtMost(path, 16 << 20) == text) return;
  } catch (const kyv::Error&) {
    // Not there yet, or unreadable: written anew.
  }
  kyv::writeFileAtomically(path, text);
}

// Removes the headers of `dir` that kyvqtgen wrote before and that `written` no longer holds.
void removeStale(const std::string& dir, const std::map<std::string, std::string>& written) {
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".h" || written.count(name)) continue;
    std::string text;
    try {
      text = kyv::readFileAtMost(entry.path().string(), 16 << 20);
    } catch (const kyv::Error&) {
      continue;
    }
    if (text.rfind(banner(name), 0) == 0) std::filesystem::remove(entry.path());
  }
}

void writeAll(const std::string& dir, const std::map<std::string, std::string>& files) {
  std::filesystem::create_directories(dir);
  for (const auto& [name, text] : files) writeIfChanged(dir + "/" + name, banner(name) + text);
  removeStale(dir, files);
}

void run(const Options& o) {
  kyv::Registry registry(o.registry);
  const kyvqtgen::WidgetSet set = kyvqtgen::widgetSet(registry, o.libraries);
  if (o.mode == "--widgets") return writeAll(o.target, kyvqtgen::widgetFiles(set, o.catalog));
  if (o.mode == "--python") return writeAll(o.target, kyvqtgen::pythonFiles(set));
  const std::string text = kyv::readFileAtMost(o.target, 16 << 20);
  writeIfChanged(o.output, banner(o.output) + kyvqtgen::expandTemplate(text, "@WIDGETS@", kyvqtgen::sipClasses(set)));
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    run(options);
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "kyvqtgen: " << e.what() << '\n';
  }
  return 1;
}
