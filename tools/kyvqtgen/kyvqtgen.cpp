// kyvqtgen [--registry FILE] --header|--sip TEMPLATE OUTPUT: writes a typed Qt widget's
// header (--header) or the PyQt6 binding of the typed widgets (--sip) from TEMPLATE, each
// line "@PROPERTIES Lib.Class ...@" replaced by the declarations of those classes'
// properties as their class tables give them (the control libraries are loaded through the
// registry). OUTPUT is left untouched when its text is already the one written, so that
// what includes it is not rebuilt. Exit status 0 on success, 1 on an error, 2 on bad usage.
#include <iostream>
#include <string>

#include "Declarations.h"
#include "TableProperties.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "kyv/registry.h"

namespace {

const char* const kUsage = "usage: kyvqtgen [--registry FILE] --header|--sip TEMPLATE OUTPUT\n";

std::string fileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The whole of a template or of a file written before (a few kilobytes each).
bool readFile(const std::string& path, std::string& text) {
  try {
    text = kyv::readFileAtMost(path, 16 << 20);
    return true;
  } catch (const kyv::Error&) {
    return false;
  }
}

// Rewrites `path` only when `text` differs, so that what includes it is not rebuilt for nothing.
bool writeIfChanged(const std::string& path, const std::string& text) {
  std::string current;
  if (readFile(path, current) && current == text) return true;
  try {
    kyv::writeFileAtomically(path, text);
    return true;
  } catch (const kyv::Error& e) {
    std::cerr << "kyvqtgen: " << e.what() << '\n';
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string registryFile, mode, templatePath, outputPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--registry" && i + 1 < argc) {
      registryFile = argv[++i];
    } else if ((arg == "--header" || arg == "--sip") && mode.empty()) {
      mode = arg;
    } else if (arg.rfind("-", 0) != 0 && templatePath.empty()) {
      templatePath = arg;
    } else if (arg.rfind("-", 0) != 0 && outputPath.empty()) {
      outputPath = arg;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (mode.empty() || outputPath.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  std::string text;
  if (!readFile(templatePath, text)) {
    std::cerr << "kyvqtgen: cannot read " << templatePath << '\n';
    return 1;
  }
  try {
    kyv::Registry registry(registryFile);
    const bool header = mode == "--header";
    const std::string expanded = kyvqtgen::expandTemplate(text, [&](const std::vector<std::string>& classNames) {
      const std::vector<kyvqtgen::TableProperty> properties = kyvqtgen::tableProperties(registry, classNames);
      return header ? kyvqtgen::headerDeclarations(classNames, properties) : kyvqtgen::sipDeclarations(properties);
    });
    const std::string banner = "// Written by kyvqtgen from " + fileName(templatePath) +
                               " and the class tables of the controls:\n// edit those, not this file.\n";
    if (writeIfChanged(outputPath, banner + expanded)) return 0;
    std::cerr << "kyvqtgen: cannot write " << outputPath << '\n';
  } catch (const std::exception& e) {
    std::cerr << "kyvqtgen: " << templatePath << ": " << e.what() << '\n';
  }
  return 1;
}
