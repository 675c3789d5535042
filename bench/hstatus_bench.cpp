// Hstat against Kyvvstat, both through late binding (by dispatch id) in one run: the same
// readings through all three bands, with the allocations per call in steady state.
#include <benchmark/benchmark.h>

#include "Hstat.h"
#include "Kyvvstat.h"
#include "bench_util.h"

using kyv::Hstat;
using kyv::Kyvvstat;

namespace {

int16_t nextReading(int16_t& r) {
  r = static_cast<int16_t>((r + 7) % 100);
  return r;
}

// Each bar at its size in the demo.
template <class Bar>
std::unique_ptr<Bar> makeBar(float width, float height) {
  auto bar = std::make_unique<Bar>();
  bar->InitProperties();
  bar->setExtent(width, height);
  return bar;
}

void dispatchIncbar(benchmark::State& state, kyv::Control& bar) {
  int16_t r = 0;
  kyvbench::dispatchCalls(state, bar, kyv::DispId{0x6003000F}, [&] { return nextReading(r); });
}

void KyvvstatDispatchIncbar(benchmark::State& state) {
  auto bar = makeBar<Kyvvstat>(405, 4260);
  dispatchIncbar(state, *bar);
}

void HstatDispatchIncbar(benchmark::State& state) {
  auto bar = makeBar<Hstat>(3840, 360);
  dispatchIncbar(state, *bar);
}

}  // namespace

BENCHMARK(KyvvstatDispatchIncbar);
BENCHMARK(HstatDispatchIncbar);
BENCHMARK_MAIN();
