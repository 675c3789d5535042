// fourseg.send through late binding (by dispatch id, on an instance made by the
// registry): the text of the value, four late-bound digit sends and the refresh, against
// the same four digit updates made as typed calls on four sseg instances. Also the
// allocations per call in steady state and the cost of painting one frame.
#include <benchmark/benchmark.h>

#include "bench_util.h"
#include "fourseg.h"
#include "kyv/registry.h"
#include "sseg.h"

using kyv::fourseg;
using kyv::sseg;

namespace {

// Walks through values of every length from 1 to 4 characters, negatives included.
int32_t nextValue(int32_t& v) {
  v = (v + 7919) % 11000;
  return v - 1000;
}

kyv::ControlPtr makeDisplay(kyv::Registry& registry) {
  kyv::ControlPtr display = registry.create("Kyv4Digit.fourseg");
  display->InitProperties();
  display->setExtent(1785, 585);
  return display;
}

void DispatchFoursegSend(benchmark::State& state) {
  kyv::Registry registry;
  kyv::ControlPtr display = makeDisplay(registry);
  int32_t v = 0;
  kyvbench::dispatchCalls(state, *display, kyv::DispId{0x60030004}, [&] { return nextValue(v); });
}

void TypedFoursegSend(benchmark::State& state) {
  kyv::Registry registry;
  fourseg display(&registry);
  display.InitProperties();
  display.setExtent(1785, 585);
  int32_t v = 0;
  const long before = kyvbench::allocations.load();
  for (auto _ : state) {
    int32_t amount = nextValue(v);
    benchmark::DoNotOptimize(display.send(amount));
  }
  kyvbench::reportAllocations(state, before);
}

// The baseline: the digits of the same values, sent to four sseg by typed calls.
void TypedFourSsegSends(benchmark::State& state) {
  sseg digits[4];
  for (sseg& d : digits) {
    d.InitProperties();
    d.setExtent(431.25f, 525);
  }
  int32_t v = 0;
  const long before = kyvbench::allocations.load();
  for (auto _ : state) {
    int32_t rest = nextValue(v);
    if (rest < 0) rest = -rest;
    for (int i = 3; i >= 0; --i) {
      int32_t digit = rest % 10;
      rest /= 10;
      benchmark::DoNotOptimize(digits[i].send(digit));
    }
  }
  kyvbench::reportAllocations(state, before);
}

// One frame at the demo's size (1785 x 585 twips) into an image surface.
void RenderFrame(benchmark::State& state) {
  kyv::Registry registry;
  kyv::ControlPtr display = makeDisplay(registry);
  kyv::Variant arg(int32_t{1234});
  display->call("send", arg);
  kyvbench::renderFrames(state, *display);
}

// One value, then only what it changed painted into the kept frame.
void ValueThenDamage(benchmark::State& state) {
  kyv::Registry registry;
  kyv::ControlPtr display = makeDisplay(registry);
  int32_t v = 0;
  kyvbench::valueThenDamage(state, *display, kyv::DispId{0x60030004}, [&] { return nextValue(v); });
}

}  // namespace

BENCHMARK(TypedFourSsegSends);
BENCHMARK(DispatchFoursegSend);
BENCHMARK(TypedFoursegSend);
BENCHMARK(RenderFrame);
BENCHMARK(ValueThenDamage);
BENCHMARK_MAIN();
