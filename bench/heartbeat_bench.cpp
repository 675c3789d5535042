// HeartBeat: Plot in steady scrolling with 100, 1,000 and 10,000 steps (the cost per call
// should grow linearly with the step count, with no heap allocation per call), the
// late-bound call against the typed one, and one frame painted at the demo's size.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include "HeartBeat.h"
#include "alloc_counter.h"
#include "kyv/render.h"

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
  const int plot = h->classInfo().find(kyv::DispId{0x6003000C});
  int16_t v = 0;
  kyv::Variant arg;
  const long before = kyvbench::allocations.load();
  for (auto _ : state) {
    arg = kyv::Variant(nextValue(v));
    benchmark::DoNotOptimize(h->invoke(plot, kyv::Invoke::Call, &arg));
  }
  kyvbench::reportAllocations(state, before);
}

// One frame at the demo's size (5265 x 1980 twips): grid and a full trace of 100 steps.
void RenderFrame(benchmark::State& state) {
  auto h = makeScrollingTrace(100);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 351, 132);
  cairo_t* cr = cairo_create(surface);
  for (auto _ : state) {
    kyv::render(*h, cr);
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace

BENCHMARK(TypedPlot)->Arg(100)->Arg(1000)->Arg(10000)->Complexity(benchmark::oN);
BENCHMARK(DispatchPlot);
BENCHMARK(RenderFrame);
BENCHMARK_MAIN();
