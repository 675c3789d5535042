// renderToPixels: painting into caller-owned ARGB32 premultiplied pixels, as a widget's
// image needs it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "expect_error.h"
#include "kyv/class_table.h"
#include "kyv/control.h"
#include "kyv/elements.h"
#include "kyv/render.h"

namespace {

// A 300 x 150 twips control: red surface, its right half covered by a blue box.
class Swatch : public kyv::Control {
 public:
  Swatch() : Control(classTable(), nullptr), box(UserControl(), "box") {
    UserControl().setBackColor(kyv::Colour{0x0000FF});
    box.setBackColor(kyv::Colour{0xFF0000});
    box.setRectTwips(150, 0, 150, 150);
  }
  static const kyv::ClassInfo& classTable() {
    static const kyv::ClassTable<Swatch> table{"Test.Swatch", 300, 150, {}, {}, {}};
    return table;
  }
  kyv::PictureBox box;
};

constexpr uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kUntouched = 0x12345678;

struct Pixels {
  Pixels(int w, int h, int stride) : width(w), height(h), stride(stride), bytes(size_t(stride) * h) {
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) std::memcpy(&bytes[i], &kUntouched, 4);
  }
  uint32_t at(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, &bytes[size_t(y) * stride + size_t(x) * 4], 4);
    return v;
  }
  int width, height, stride;
  std::vector<uint8_t> bytes;
};

TEST(RenderToPixels, PaintsTheExtentAndLeavesTheRestAndThePaddingAlone) {
  Swatch swatch;
  Pixels p(24, 12, 24 * 4 + 8);
  kyv::renderToPixels(swatch, p.bytes.data(), p.width, p.height, p.stride, 15.0);
  EXPECT_EQ(p.at(0, 0), kRed);
  EXPECT_EQ(p.at(9, 9), kRed);
  EXPECT_EQ(p.at(10, 0), kBlue);
  EXPECT_EQ(p.at(19, 9), kBlue);
  EXPECT_EQ(p.at(20, 0), kUntouched);
  EXPECT_EQ(p.at(0, 10), kUntouched);
  for (int y = 0; y < p.height; ++y) {
    uint32_t pad[2];
    std::memcpy(pad, &p.bytes[size_t(y) * p.stride + 24 * 4], 8);
    EXPECT_EQ(pad[0], kUntouched);
    EXPECT_EQ(pad[1], kUntouched);
  }
}

TEST(RenderToPixels, HalfTheTwipsPerPixelDoublesTheSizeWithCrispEdges) {
  Swatch swatch;
  Pixels p(40, 20, 40 * 4);
  kyv::renderToPixels(swatch, p.bytes.data(), p.width, p.height, p.stride, 7.5);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) ASSERT_EQ(p.at(x, y), x < 20 ? kRed : kBlue) << x << ", " << y;
}

TEST(RenderToPixels, MarksTheControlPainted) {
  Swatch swatch;
  ASSERT_TRUE(swatch.dirty());
  Pixels p(20, 10, 80);
  kyv::renderToPixels(swatch, p.bytes.data(), p.width, p.height, p.stride);
  EXPECT_FALSE(swatch.dirty());
}

TEST(RenderToPixels, RejectsBuffersThatDoNotFit) {
  Swatch swatch;
  Pixels p(20, 10, 80);
  const auto rejects = [&](uint8_t* bits, int w, int h, int stride) {
    return kindOf([&] { kyv::renderToPixels(swatch, bits, w, h, stride); }) == kyv::ErrorKind::InvalidPropertyValue;
  };
  EXPECT_TRUE(rejects(nullptr, 20, 10, 80));
  EXPECT_TRUE(rejects(p.bytes.data(), 0, 10, 80));
  EXPECT_TRUE(rejects(p.bytes.data(), 20, -1, 80));
  EXPECT_TRUE(rejects(p.bytes.data(), 20, 10, 76));
  EXPECT_TRUE(rejects(p.bytes.data(), 19, 10, 78));
  EXPECT_EQ(p.at(0, 0), kUntouched);
}

}  // namespace
