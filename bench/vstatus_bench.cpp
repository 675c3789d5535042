// Kyvvstat: incbar through late binding (by dispatch id) against the typed C++ call, the
// allocations per call in steady state, and the cost of painting one frame.
#include <benchmark/benchmark.h>

#include "Kyvvstat.h"
#include "bench_util.h"

using kyv::Kyvvstat;

namespace {

// Cycles through all three bands so every branch of incbar is measured.
int16_t nextReading(int16_t& r) {
  r = static_cast<int16_t>((r + 7) % 100);
  return r;
}

std::unique_ptr<Kyvvstat> makeBar() {
  auto bar = std::make_unique<Kyvvstat>();
  bar->InitProperties();
  bar->setExtent(405, 4260);
  return bar;
}

void TypedIncbar(benchmark::State& state) {
  auto bar = makeBar();
  int16_t r = 0;
  const long before = kyvbench::allocations.load();
  for (auto _ : state) {
    int16_t v = nextReading(r);
    bar->incbar(v);
  }
  kyvbench::reportAllocations(state, before);
}

void DispatchIncbar(benchmark::State& state) {
  auto bar = makeBar();
  int16_t r = 0;
  kyvbench::dispatchCalls(state, *bar, kyv::DispId{0x6003000F}, [&] { return nextReading(r); });
}

// One frame at the demo's size (405 x 4260 twips) into an image surface.
void RenderFrame(benchmark::State& state) {
  auto bar = makeBar();
  int16_t v = 37;
  bar->incbar(v);
  kyvbench::renderFrames(state, *bar);
}

// One reading, then only what it changed painted into the kept frame.
void ValueThenDamage(benchmark::State& state) {
  auto bar = makeBar();
  int16_t r = 0;
  kyvbench::valueThenDamage(state, *bar, kyv::DispId{0x6003000F}, [&] { return nextReading(r); });
}

}  // namespace

BENCHMARK(TypedIncbar);
BENCHMARK(DispatchIncbar);
BENCHMARK(RenderFrame);
BENCHMARK(ValueThenDamage);
BENCHMARK_MAIN();
