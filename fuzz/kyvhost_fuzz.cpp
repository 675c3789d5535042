// Fuzz target: kyvhost's command language. Each input is a script run against the
// build's registered controls, with file commands disabled; the host must survive it.
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "host.h"
#include "kyv/error.h"
#include "kyv/registry.h"

namespace {

// Maps every registered library for good. libFuzzer keeps reading the coverage counters
// of every module it has seen, so a library must not be unmapped while fuzzing; the
// registry's own open and close bookkeeping runs as usual on top of this.
kyv::Registry& pinnedRegistry() {
  static kyv::Registry registry;
  static const bool pinned = [] {
    try {
      for (const kyv::RegisteredClass& c : registry.registeredClasses())
        dlopen(c.path.c_str(), RTLD_NOW | RTLD_NODELETE);
    } catch (const kyv::Error&) {
      // Without a registration file every script only meets creation errors.
    }
    return true;
  }();
  (void)pinned;
  return registry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kyv::Registry& registry = pinnedRegistry();
  std::ostringstream out;
  {
    kyvhost::Host host(registry, out, 15, false);
    std::string_view script(reinterpret_cast<const char*>(data), size);
    int line = 0;
    while (!script.empty()) {
      const size_t end = script.find('\n');
      host.runLine(script.substr(0, end), ++line);
      if (end == std::string_view::npos) break;
      script.remove_prefix(end + 1);
    }
  }
  return 0;
}
