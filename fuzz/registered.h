#pragma once
// The build's registry with every registered library mapped for good, and the class names
// it offers. libFuzzer keeps reading the coverage counters of every module it has seen, so
// a library must not be unmapped while fuzzing; the registry's own open and close
// bookkeeping runs as usual on top of this.
#include <dlfcn.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "kyv/error.h"
#include "kyv/registry.h"

namespace fuzz {

struct Registered {
  kyv::Registry registry;
  std::vector<std::string> classes;  // sorted

  Registered() {
    std::ifstream in(registry.registrationFile());
    const auto doc = nlohmann::json::parse(in, nullptr, false);
    if (!doc.is_object() || !doc.contains("classes") || !doc["classes"].is_object()) return;
    const std::string& file = registry.registrationFile();
    const std::string folder = file.substr(0, file.find_last_of('/') + 1);
    for (const auto& [name, path] : doc["classes"].items()) {
      if (!path.is_string()) continue;
      const std::string library = path.get<std::string>();
      dlopen((library.rfind('/', 0) == 0 ? library : folder + library).c_str(), RTLD_NOW | RTLD_NODELETE);
      classes.push_back(name);
    }
  }

  // Whether an instance of `className` can be created here.
  bool creates(const std::string& className) {
    try {
      registry.create(className);
      return true;
    } catch (const kyv::Error&) {
      return false;
    }
  }
};

inline Registered& registered() {
  static Registered r;
  return r;
}

}  // namespace fuzz
