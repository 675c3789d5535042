// KyvMultiBar: Value through late binding (by dispatch id), each call with its full layout
// pass over ten columns, against the typed C++ call; the demo's pair of calls (Column, then
// Value); and the allocations per call in steady state.
#include <benchmark/benchmark.h>

#include "KyvMultiBar.h"
#include "bench_util.h"

using kyv::KyvMultiBar;

namespace {

// Cycles through 0 .. 99 in steps that hit every height, full bars included.
int16_t nextValue(int16_t& v) {
  v = static_cast<int16_t>((v + 37) % 101);
  return v;
}

// Ten columns at the demo's size (2100 x 1305 twips): the longest layout pass.
std::unique_ptr<KyvMultiBar> makeBars() {
  auto bars = std::make_unique<KyvMultiBar>();
  bars->InitProperties();
  bars->setExtent(2100, 1305);
  bars->setColumns(10);
  return bars;
}

void TypedValue(benchmark::State& state) {
  auto bars = makeBars();
  int16_t v = 0;
  const long before = kyvbench::allocations.load();
  for (auto _ : state) {
    int16_t value = nextValue(v);
    bars->Value(value);
  }
  kyvbench::reportAllocations(state, before);
}

void DispatchValue(benchmark::State& state) {
  auto bars = makeBars();
  int16_t v = 0;
  kyvbench::dispatchCalls(state, *bars, kyv::DispId{0x60030007}, [&] { return nextValue(v); });
}

// What the demo's timer does per tick: select a column, then give it a value.
void DispatchColumnThenValue(benchmark::State& state) {
  auto bars = makeBars();
  const int column = bars->classInfo().find(kyv::DispId{0x60030006});
  const int value = bars->classInfo().find(kyv::DispId{0x60030007});
  int16_t v = 0;
  int16_t c = 0;
  kyv::Variant arg;
  const long before = kyvbench::allocations.load();
  for (auto _ : state) {
    c = static_cast<int16_t>((c + 3) % 10);
    arg = kyv::Variant(c);
    benchmark::DoNotOptimize(bars->invoke(column, kyv::Invoke::Call, &arg));
    arg = kyv::Variant(nextValue(v));
    benchmark::DoNotOptimize(bars->invoke(value, kyv::Invoke::Call, &arg));
  }
  kyvbench::reportAllocations(state, before);
}

// One value, then only what it changed painted into the kept frame.
void ValueThenDamage(benchmark::State& state) {
  auto bars = makeBars();
  int16_t v = 0;
  kyvbench::valueThenDamage(state, *bars, kyv::DispId{0x60030007}, [&] { return nextValue(v); });
}

}  // namespace

BENCHMARK(TypedValue);
BENCHMARK(DispatchValue);
BENCHMARK(DispatchColumnThenValue);
BENCHMARK(ValueThenDamage);
BENCHMARK_MAIN();
