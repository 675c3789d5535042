#pragma once
// Counts heap allocations made by this program, so a benchmark can report (and a test
// check) how many allocations one call makes in steady state. Include it in exactly one
// file per program.
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace kyvbench {
inline std::atomic<long> allocations{0};
}  // namespace kyvbench

// The replacements pair malloc with free, which GCC cannot see through inlining.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
  kyvbench::allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// The standard library's temporary buffers come from the nothrow form: it is replaced too,
// so that every block these deletes free came from malloc (AddressSanitizer checks that).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  kyvbench::allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace kyvbench {
// Allocations per iteration of a benchmark loop, set as the counter "allocs/call".
template <class State>
void reportAllocations(State& state, long before) {
  state.counters["allocs/call"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
}
}  // namespace kyvbench
