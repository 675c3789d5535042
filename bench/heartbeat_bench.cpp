// HeartBeat: Plot in steady scrolling with 100, 1,000 and 10,000 steps (the cost per call
// should grow linearly with the step count, with no heap allocation per call), the
// late-bound call against the typed one, and one frame painted at the demo's size.
#include <benchmark/benchmark.h>

#include "HeartBeat.h"
#include "bench_util.h"

using kyv::HeartBeat;

namespace {

constexpr float kDemoWidth = 5265, kDemoHeight = 1980;

int16_t nextValue(int16_t& v) {
  v = static_cast<int16_t>((v + 3) % 11);
  return v;
}

// The demo's trace (black, grid colour 0x80000005) with `steps` steps, fed until it scrolls.
std::unique_ptr<HeartBeat> makeScrollingTrace(int16_t steps) {
  auto h = std::make_unique<HeartBeat>();
  h->InitProperties();
  h->setHorizCount(steps);
  h->setBackColor(kyv::Colour{0});
  h->setGridColor(kyv::Colour{0x80000005});
  h->setExtent(kDemoWidth, kDemoHeight);
  int16_t v = 0;
  for (int i = 0; i <= steps; ++i) {
    int16_t x = nextValue(v);
    h->Plot(x);
  }
  return h;
}

void TypedPlot(benchmark::State& state) {
  const auto steps = static_cast<int16_t>(state.range(0));
  auto h = makeScrollingTrace(steps);
  int16_t v = 0;
  const long before = kyvbench::allocations.load();
  for (auto _ : state) {
    int16_t x = nextValue(v);
    h->Plot(x);
  }
  kyvbench::reportAllocations(state, before);
  state.counters["ns/step"] = benchmark::Counter(static_cast<double>(state.iterations()) * steps,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetComplexityN(steps);
}

void DispatchPlot(benchmark::State& state) {
  auto h = makeScrollingTrace(100);
  int16_t v = 0;
  kyvbench::dispatchCalls(state, *h, kyv::DispId{0x6003000C}, [&] { return nextValue(v); });
}

// One frame at the demo's size (5265 x 1980 twips): grid and a full trace of 100 steps.
void RenderFrame(benchmark::State& state) {
  auto h = makeScrollingTrace(100);
  kyvbench::renderFrames(state, *h);
}

// One value in steady scrolling, then only what it changed painted into the kept frame.
void ValueThenDamage(benchmark::State& state) {
  auto h = makeScrollingTrace(100);
  int16_t v = 0;
  kyvbench::valueThenDamage(state, *h, kyv::DispId{0x6003000C}, [&] { return nextValue(v); });
}

}  // namespace

BENCHMARK(TypedPlot)->Arg(100)->Arg(1000)->Arg(10000)->Complexity(benchmark::oN);
BENCHMARK(DispatchPlot);
BENCHMARK(RenderFrame);
BENCHMARK(ValueThenDamage);
BENCHMARK_MAIN();
