// The renderer at the edges of what it takes: pictures at and beyond cairo's 32767 pixels
// a side, scales outside its range, and files that cannot be written.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "expect_error.h"
#include "gauge.h"
#include "kyv/error.h"
#include "kyv/render.h"

namespace fs = std::filesystem;

namespace {

std::string failure(const std::function<void()>& f) { return messageOf(kyv::ErrorKind::InvalidPropertyValue, f); }

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The gauge `pixels` wide at the reference scale, one red tick line across its whole
// width in row 1.
struct WideGauge {
  explicit WideGauge(int pixels) {
    const float width = static_cast<float>(pixels) * 15;
    gauge.UserControl().setRectTwips(0, 0, width, 45);
    gauge.box.setRectTwips(0, 0, width, 45);
    gauge.box.setBackColor(kyv::Colour{0xFFFFFF});
    gauge.tick.forEach([](kyv::LineElement& l) { l.setVisible(false); });
    kyv::LineElement& line = gauge.tick(1);
    line.setVisible(true);
    line.setX1(0);
    line.setY1(15);
    line.setX2(width - 15);
    line.setY2(15);
    line.setBorderColor(kyv::Colour{0x0000FF});
  }
  Gauge gauge;
};

// A line as long as the widest picture is longer than cairo's scratch image may be: it is
// drawn by cairo itself instead of the renderer's copy of cairo's pixels.
TEST(RenderLimits, ALineAcrossTheWidestPictureIsDrawn) {
  WideGauge wide(32767);
  std::vector<uint32_t> pixels(32767 * 3, 0);
  kyv::renderToPixels(wide.gauge, reinterpret_cast<uint8_t*>(pixels.data()), 32767, 3, 32767 * 4);
  for (int x : {0, 1, 16383, 32765}) {
    EXPECT_EQ(pixels[32767 + x], 0xFFFF0000u) << x;  // red, opaque, as 0xAARRGGBB
    EXPECT_EQ(pixels[x], 0xFFFFFFFFu) << x;
  }
}

TEST(RenderLimits, PicturesBeyondTheLimitsAreRefusedWithTheirSize) {
  WideGauge wide(32768);
  std::vector<uint32_t> pixels(4);
  EXPECT_EQ(
      failure([&] { kyv::renderToPixels(wide.gauge, reinterpret_cast<uint8_t*>(pixels.data()), 32768, 1, 32768 * 4); }),
      "Invalid property value: a picture of 32768 x 1 pixels is beyond the limit of 32767 pixels a side");
  const std::string png = std::string(KYV_TEST_DIR) + "/render-limits.png";
  EXPECT_EQ(failure([&] { kyv::renderToFile(wide.gauge, png); }),
            "Invalid property value: a picture of 32768 x 3 pixels is beyond the limit of 32767 pixels a side");
  wide.gauge.UserControl().setRectTwips(0, 0, 10000 * 15, 10000 * 15);
  EXPECT_EQ(failure([&] { kyv::renderToFile(wide.gauge, png); }),
            "Invalid property value: a picture of 10000 x 10000 pixels is beyond the limit of 67108864 pixels in all");
  EXPECT_FALSE(fs::exists(png));
}

// A scale is refused unless the picture it gives is neither empty nor beyond the limits:
// outside 0.15 to 1500 twips per pixel.
TEST(RenderLimits, ScalesOutsideTheRangeAreRefused) {
  Gauge gauge;
  const std::string png = std::string(KYV_TEST_DIR) + "/render-scale.png";
  fs::remove(png);
  for (double tpp : {0.0, -15.0, 1e-300, 0.149, 1500.5, 1e300, std::nan(""), HUGE_VAL}) {
    const std::string message = failure([&] { kyv::renderToFile(gauge, png, tpp); });
    EXPECT_NE(message.find("twips per pixel is not a scale from 0.15 to 1500"), std::string::npos) << message;
    std::vector<uint32_t> pixels(100 * 40);
    EXPECT_NE(failure([&] {
                kyv::renderToPixels(gauge, reinterpret_cast<uint8_t*>(pixels.data()), 100, 40, 400, tpp);
              }).find("is not a scale"),
              std::string::npos);
  }
  EXPECT_EQ(failure([&] { kyv::renderToFile(gauge, png, 1e-300); }),
            "Invalid property value: 1e-300 twips per pixel is not a scale from 0.15 to 1500");
  EXPECT_FALSE(fs::exists(png));
  kyv::renderToFile(gauge, png, 1500);  // 1500 x 600 twips: 1 x 1 pixel
  gauge.UserControl().setRectTwips(0, 0, 150, 60);
  kyv::renderToFile(gauge, png, 0.15);  // 1000 x 400 pixels
}

// A write that fails (the disk fills up) is reported in every format, and the picture
// written before is still there whole.
TEST(RenderLimits, AFailedWriteKeepsTheOldPicture) {
  Gauge gauge;
  for (const char* ext : {".png", ".svg", ".pdf"}) {
    const std::string path = std::string(KYV_TEST_DIR) + "/render-full" + ext;
    kyv::renderToFile(gauge, path);
    const std::string before = contents(path);
    ASSERT_GT(before.size(), 100u);
    gauge.setColour(kyv::Colour{0x00FF00});
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 50;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string message = failure([&] { kyv::renderToFile(gauge, path); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(message, "Invalid property value: cannot write " + path + ": File too large");
    EXPECT_EQ(contents(path), before);
  }
}

}  // namespace
