#pragma once
// Loops the benchmarks share: one late-bound call per iteration, and painting frames.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>

#include "alloc_counter.h"
#include "kyv/control.h"
#include "kyv/render.h"

namespace kyvbench {

// Calls method `id` of `control` by dispatch id once per iteration with `next()` as its
// by-reference argument, and reports the allocations per call.
template <class Next>
void dispatchCalls(benchmark::State& state, kyv::Control& control, kyv::DispId id, Next next) {
  const int member = control.classInfo().find(id);
  kyv::Variant arg;
  const long before = allocations.load();
  for (auto _ : state) {
    arg = kyv::Variant(next());
    benchmark::DoNotOptimize(control.invoke(member, kyv::Invoke::Call, &arg));
  }
  reportAllocations(state, before);
}

// Paints `control` once per iteration into an image surface of its own size.
inline void renderFrames(benchmark::State& state, kyv::Control& control) {
  const kyv::Surface& s = control.UserControl();
  const auto pixels = [](float twips) { return static_cast<int>(std::ceil(twips / kyv::kReferenceTwipsPerPixel)); };
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels(s.widthTwips()), pixels(s.heightTwips()));
  cairo_t* cr = cairo_create(surface);
  for (auto _ : state) {
    kyv::render(control, cr);
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace kyvbench
