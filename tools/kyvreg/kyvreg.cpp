// kyvreg [-u] REGISTRATION-FILE LIBRARY...
// Registers (or with -u unregisters) control libraries by calling their own entry point
// kyv_register_server / kyv_unregister_server with the registration file.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "kyv/version.h"

namespace {

const char* const kUsage =
    "usage: kyvreg [-u] REGISTRATION-FILE LIBRARY...\n"
    "       kyvreg --help | --version\n";

const char* const kHelp =
    "\n"
    "Registers control libraries in a registration file: each LIBRARY's own entry point\n"
    "writes its classes into REGISTRATION-FILE (created when missing), recording the\n"
    "library's path relative to the file's folder.\n"
    "\n"
    "options:\n"
    "  -u         unregister: remove the classes of each LIBRARY instead\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "exit status: 0 when every library was registered, 1 when one could not be opened or\n"
    "refused, 2 for wrong arguments\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("%s%s", kUsage, kHelp);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("kyvreg %s\n", KYV_VERSION_STRING);
    return 0;
  }
  bool unregister = argc > 1 && std::strcmp(argv[1], "-u") == 0;
  const int first = unregister ? 2 : 1;
  if (argc - first < 2 || argv[first][0] == '-') {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  const char* file = argv[first];
  int status = 0;
  for (int i = first + 1; i < argc; ++i) {
    void* lib = dlopen(argv[i], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
      std::fprintf(stderr, "kyvreg: cannot open %s: %s\n", argv[i], dlerror());
      status = 1;
      continue;
    }
    const char* entry = unregister ? "kyv_unregister_server" : "kyv_register_server";
    auto fn = reinterpret_cast<int (*)(const char*)>(dlsym(lib, entry));
    if (!fn || fn(file) != 0) {
      std::fprintf(stderr, "kyvreg: %s: %s failed\n", argv[i], entry);
      status = 1;
    }
    dlclose(lib);
  }
  return status;
}
