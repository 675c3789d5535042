#pragma once
// The build's registry with every registered library mapped for good, and the class names
// it offers. libFuzzer keeps reading the coverage counters of every module it has seen, so
// a library must not be unmapped while fuzzing; the registry's own open and close
// bookkeeping runs as usual on top of this.
#include <dlfcn.h>

#include <string>
#include <vector>

#include "kyv/error.h"
#include "kyv/registry.h"

namespace fuzz {

struct Registered {
  kyv::Registry registry;
  std::vector<std::string> classes;  // sorted

  Registered() {
    try {
      for (const kyv::RegisteredClass& c : registry.registeredClasses()) {
        dlopen(c.path.c_str(), RTLD_NOW | RTLD_NODELETE);
        classes.push_back(c.className);
      }
    } catch (const kyv::Error&) {
      // Without a registration file every input only meets creation errors.
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
