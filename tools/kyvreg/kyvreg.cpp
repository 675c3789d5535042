// kyvreg [-u] REGISTRATION-FILE LIBRARY...
// Registers (or with -u unregisters) control libraries by calling their own entry point
// kyv_register_server / kyv_unregister_server with the registration file.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  bool unregister = argc > 1 && std::strcmp(argv[1], "-u") == 0;
  const int first = unregister ? 2 : 1;
  if (argc - first < 2) {
    std::fprintf(stderr, "usage: kyvreg [-u] REGISTRATION-FILE LIBRARY...\n");
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
