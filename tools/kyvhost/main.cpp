// kyvhost [--tpp N] [--registry FILE] [SCRIPT ...]: runs kyvhost scripts (standard input
// when none is given or SCRIPT is "-"). Exit status 0 when every line was understood, 1
// when a line was not, 2 when a script could not be read. --help and --version answer on
// standard output.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "help.h"
#include "host.h"
#include "kyv/error.h"
#include "kyv/registry.h"
#include "kyv/render.h"
#include "kyv/variant.h"
#include "kyv/version.h"

namespace {

int usage() {
  std::cerr << "usage: kyvhost [--tpp N] [--registry FILE] [SCRIPT ...]\n";
  return 2;
}

// The scale `value` names, when it is a number the renderer takes.
std::optional<double> twipsPerPixel(const std::string& value) {
  double tpp = 0;
  auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), tpp);
  if (ec != std::errc() || p != value.data() + value.size()) return std::nullopt;
  if (!(tpp >= kyv::kMinTwipsPerPixel && tpp <= kyv::kMaxTwipsPerPixel)) return std::nullopt;
  return tpp;
}

// Reports a script that failed part way through reading; the lines before it ran.
int cannotRead(const std::string& what, const std::string& why) {
  std::cerr << "kyvhost: cannot read " << what << ": " << why << '\n';
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  double tpp = 15;
  std::string registryFile;
  std::vector<std::string> scripts;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      kyvhost::printHelp(std::cout);
      return 0;
    }
    if (arg == "--version") {
      std::cout << "kyvhost " KYV_VERSION_STRING "\n";
      return 0;
    }
    if ((arg == "--tpp" || arg == "--registry") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--registry") {
        registryFile = value;
        continue;
      }
      const std::optional<double> scale = twipsPerPixel(value);
      if (!scale) {
        std::cerr << "kyvhost: --tpp " << kyv::quoteForMessage(value)
                  << " is refused: twips per pixel must be a number from " << kyv::formatNumber(kyv::kMinTwipsPerPixel)
                  << " to " << kyv::formatNumber(kyv::kMaxTwipsPerPixel) << '\n';
        return 2;
      }
      tpp = *scale;
    } else if (arg.rfind("--", 0) == 0) {
      return usage();
    } else {
      scripts.push_back(arg);
    }
  }
  if (scripts.empty()) scripts.push_back("-");

  kyv::Registry registry(registryFile);
  int status = 0;
  {
    kyvhost::Host host(registry, std::cout, tpp);
    for (const std::string& script : scripts) {
      if (script == "-") {
        // Standard input reads through stdio, which keeps a failed read on the FILE.
        std::optional<std::string> failed = host.runScript(std::cin);
        if (!failed && std::ferror(stdin)) failed = std::strerror(errno);
        if (failed) status = cannotRead("standard input", *failed);
        continue;
      }
      std::ifstream in(script);
      if (!in) {
        std::cerr << "kyvhost: cannot read " << script << '\n';
        status = 2;
        continue;
      }
      if (std::optional<std::string> failed = host.runScript(in)) status = cannotRead(script, *failed);
    }
    if (status == 0 && !host.understood()) status = 1;
  }
  std::cout.flush();
  return status;
}
