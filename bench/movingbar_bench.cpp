// KyvMovingBar: MoveBar in steady scrolling on the demo's frame and on frames 10 and 100
// times wider (the cost per call should grow linearly with the bar count, with no heap
// allocation per call), the late-bound call against the typed one, and one frame painted
// at the demo's size.
#include <benchmark/benchmark.h>

#include "KyvMovingBar.h"
#include "bench_util.h"

using kyv::KyvMovingBar;

namespace {

constexpr float kDemoWidth = 3780, kDemoHeight = 2250;

int16_t nextValue(int16_t& v) {
  v = static_cast<int16_t>((v + 37) % 101);
  return v;
}

// A graph on a frame `widths` times the demo's, fed until its row is full and scrolling.
std::unique_ptr<KyvMovingBar> makeScrollingGraph(int widths) {
  auto g = std::make_unique<KyvMovingBar>();
  g->InitProperties();
  g->setExtent(kDemoWidth * static_cast<float>(widths), kDemoHeight);
  int16_t v = 0;
  for (int count = 0; count != g->lvl.Count();) {  // until a call scrolls instead of adding
    count = g->lvl.Count();
    int16_t x = nextValue(v);
    g->MoveBar(x);
  }
  return g;
}

void TypedMoveBar(benchmark::State& state) {
  auto g = makeScrollingGraph(static_cast<int>(state.range(0)));
  int16_t v = 0;
  const long before = kyvbench::allocations.load();
  for (auto _ : state) {
    int16_t x = nextValue(v);
    g->MoveBar(x);
  }
  kyvbench::reportAllocations(state, before);
  state.counters["bars"] = g->lvl.Count();
  state.counters["ns/bar"] = benchmark::Counter(static_cast<double>(state.iterations()) * g->lvl.Count(),
                                                benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetComplexityN(g->lvl.Count());
}

void DispatchMoveBar(benchmark::State& state) {
  auto g = makeScrollingGraph(1);
  int16_t v = 0;
  kyvbench::dispatchCalls(state, *g, kyv::DispId{0x60030007}, [&] { return nextValue(v); });
}

// One frame at the demo's size (3780 x 2250 twips) with a full, scrolling row.
void RenderFrame(benchmark::State& state) {
  auto g = makeScrollingGraph(1);
  kyvbench::renderFrames(state, *g);
}

// One value in steady scrolling, then only what it changed painted into the kept frame.
void ValueThenDamage(benchmark::State& state) {
  auto g = makeScrollingGraph(1);
  int16_t v = 0;
  kyvbench::valueThenDamage(state, *g, kyv::DispId{0x60030007}, [&] { return nextValue(v); });
}

}  // namespace

BENCHMARK(TypedMoveBar)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);
BENCHMARK(DispatchMoveBar);
BENCHMARK(RenderFrame);
BENCHMARK(ValueThenDamage);
BENCHMARK_MAIN();
