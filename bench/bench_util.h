#pragma once
// Loops the benchmarks share: one late-bound call per iteration, painting whole frames,
// and one value followed by painting only what it changed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "alloc_counter.h"
#include "kyv/control.h"
#include "kyv/render.h"
#include "kyv/site.h"

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

// An image of the control's size at the reference resolution, kept between paints.
class KeptImage {
 public:
  explicit KeptImage(const kyv::Control& control)
      : width_(pixels(control.UserControl().widthTwips())),
        height_(pixels(control.UserControl().heightTwips())),
        bits_(static_cast<size_t>(width_) * height_),
        target_(reinterpret_cast<uint8_t*>(bits_.data()), width_, height_, width_ * 4) {}
  kyv::PixelTarget& target() { return target_; }

 private:
  static int pixels(float twips) {
    return std::max(1, static_cast<int>(std::ceil(twips / kyv::kReferenceTwipsPerPixel)));
  }
  int width_, height_;
  std::vector<uint32_t> bits_;
  kyv::PixelTarget target_;
};

// Paints `control` whole once per iteration into an image of its own size, and reports
// the allocations per frame.
inline void renderFrames(benchmark::State& state, kyv::Control& control) {
  KeptImage image(control);
  kyv::render(control, image.target(), 0, 0);
  const long before = allocations.load();
  for (auto _ : state) kyv::render(control, image.target(), 0, 0);
  reportAllocations(state, before);
}

// Calls method `id` with `next()` once per iteration, as a host that keeps the control's
// picture does (its site hears of the damage), and paints only the damage into the kept
// image; reports the allocations per value and paint.
template <class Next>
void valueThenDamage(benchmark::State& state, kyv::Control& control, kyv::DispId id, Next next) {
  struct Host final : kyv::Site {
    void invalidated(kyv::Control&, const kyv::Region&) override { ++requests; }
    long requests = 0;
  } host;
  control.setSite(&host);
  KeptImage image(control);
  kyv::render(control, image.target(), 0, 0);
  const int member = control.classInfo().find(id);
  kyv::RenderOptions options;
  options.onlyDamage = true;
  kyv::Variant arg;
  // What the renderer keeps of line shapes and captions is made by the first values.
  for (int i = 0; i < 1000; ++i) {
    arg = kyv::Variant(next());
    control.invoke(member, kyv::Invoke::Call, &arg);
    kyv::render(control, image.target(), 0, 0, options);
  }
  const long before = allocations.load();
  for (auto _ : state) {
    arg = kyv::Variant(next());
    control.invoke(member, kyv::Invoke::Call, &arg);
    kyv::render(control, image.target(), 0, 0, options);
  }
  reportAllocations(state, before);
  control.setSite(nullptr);
}

}  // namespace kyvbench
