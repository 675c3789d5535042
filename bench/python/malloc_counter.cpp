// Counts calls to malloc, calloc and realloc in a process it is preloaded into
// (LD_PRELOAD), for the Python benchmarks: kyv_malloc_count() reads the count.
#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
}

namespace {
std::atomic<long> calls{0};
}

extern "C" __attribute__((visibility("default"))) long kyv_malloc_count() { return calls.load(); }

extern "C" __attribute__((visibility("default"))) void* malloc(size_t size) {
  calls.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}

extern "C" __attribute__((visibility("default"))) void* calloc(size_t count, size_t size) {
  calls.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}

extern "C" __attribute__((visibility("default"))) void* realloc(void* p, size_t size) {
  calls.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, size);
}
