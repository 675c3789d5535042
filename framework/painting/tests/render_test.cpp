#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "gauge.h"
#include "kyv/error.h"
#include "kyv/render.h"

namespace {

struct Image {
  cairo_surface_t* surface;
  cairo_t* cr;
  Image(int w, int h) : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), cr(cairo_create(surface)) {}
  ~Image() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  // The pixel as 0x00BBGGRR.
  uint32_t at(int x, int y) {
    cairo_surface_flush(surface);
    const auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const uint32_t argb = reinterpret_cast<const uint32_t*>(row)[x];
    return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
  }
};

struct Render : ::testing::Test {
  Render() {
    gauge.UserControl().setRectTwips(0, 0, 1500, 600);
    gauge.box.setBackColor(kyv::Colour{0x0000FF});
    gauge.tick.forEach([](kyv::LineElement& l) { l.setVisible(false); });
  }
  // Options of a picture at twice the reference size whose face, shown beside the box
  // (which the picture's left half holds), resolves through a palette of its own.
  kyv::RenderOptions darkAtDoubleSize() {
    gauge.box.setRectTwips(0, 0, 750, 600);
    dark = kyv::systemPalette();
    dark[gauge.UserControl().BackColor().value & 0xFF] = 0x302010;
    kyv::RenderOptions options;
    options.palette = &dark;
    options.twipsPerPixel = 7.5;
    return options;
  }
  Gauge gauge;
  kyv::Palette dark{};
};

TEST_F(Render, PaintsBackgroundsElementsAndBorders) {
  gauge.box.setBorderStyle(1);
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(150, 150, 300, 150);
  bar.setFillColor(kyv::Colour{0x00FF00});
  Image img(100, 40);
  kyv::render(gauge, img.cr);
  EXPECT_EQ(img.at(0, 0), 0xA0A0A0u);            // outer shadow of the sunken edge
  EXPECT_EQ(img.at(99, 39), 0xFFFFFFu);          // outer highlight
  EXPECT_EQ(img.at(5, 5), 0x0000FFu);            // background inside the edge
  EXPECT_EQ(img.at(2 + 12, 2 + 12), 0x00FF00u);  // the shape, offset by the 2-pixel edge
  EXPECT_FALSE(gauge.dirty());
}

TEST_F(Render, HiddenElementsAndDrawnSegmentsFollowTheTree) {
  kyv::Shape bar(gauge.box, "bar");
  bar.setRectTwips(0, 0, 1500, 600);
  bar.setFillColor(kyv::Colour{0x00FF00});
  bar.setVisible(false);
  gauge.box.Line(0, 300, 1500, 300, kyv::Colour{0xFFFFFF});
  Image img(100, 40);
  kyv::render(gauge, img.cr);
  EXPECT_EQ(img.at(50, 10), 0x0000FFu);
  EXPECT_EQ(img.at(50, 20), 0xFFFFFFu);
}

TEST_F(Render, HigherResolutionsScaleTheSameTree) {
  gauge.box.setRectTwips(0, 0, 750, 600);
  Image img(200, 80);
  kyv::render(gauge, img.cr, 7.5);
  EXPECT_EQ(img.at(99, 40), 0x0000FFu);
  EXPECT_EQ(img.at(100, 40), kyv::resolveColour(gauge.UserControl().BackColor()));
}

TEST_F(Render, SystemColoursResolveThroughAReplaceablePalette) {
  const kyv::Palette saved = kyv::systemPalette();
  kyv::Palette p = saved;
  p[5] = 0x123456;
  kyv::setSystemPalette(p);
  EXPECT_EQ(kyv::resolveColour(kyv::Colour{0x80000005}), 0x123456u);
  EXPECT_EQ(kyv::resolveColour(kyv::Colour{0x00ABCDEF}), 0xABCDEFu);
  kyv::setSystemPalette(saved);
}

TEST_F(Render, WritesPngSvgAndPdfFilesAndRefusesOtherNames) {
  for (const char* ext : {".png", ".svg", ".pdf"}) {
    const std::string path = std::string(KYV_TEST_DIR) + "/render-test" + ext;
    std::remove(path.c_str());
    kyv::renderToFile(gauge, path);
    EXPECT_GT(std::ifstream(path, std::ios::ate).tellg(), 100) << path;
  }
  EXPECT_THROW(kyv::renderToFile(gauge, std::string(KYV_TEST_DIR) + "/render-test.bmp"), kyv::Error);
  EXPECT_THROW(kyv::renderToFile(gauge, "/nonexistent-dir/x.png"), kyv::Error);
}

// A file rendered with a palette of its own shows the system colours through it, at the
// scale asked for; the system palette stays as it was.
TEST_F(Render, AFileTakesTheOptionsPaletteAndScale) {
  const uint32_t face = kyv::resolveColour(gauge.UserControl().BackColor());
  const kyv::RenderOptions options = darkAtDoubleSize();
  const std::string path = std::string(KYV_TEST_DIR) + "/render-palette.png";
  kyv::renderToFile(gauge, path, options);
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), 200);
  Image img(200, 80);
  cairo_set_source_surface(img.cr, png, 0, 0);
  cairo_paint(img.cr);
  cairo_surface_destroy(png);
  EXPECT_EQ(img.at(150, 40), 0x302010u);
  EXPECT_EQ(img.at(50, 40), 0x0000FFu);
  EXPECT_EQ(kyv::resolveColour(gauge.UserControl().BackColor()), face);
}

// A PNG made in memory holds the bytes of the file renderToFile writes for the same options;
// a scale the file refuses is refused the same way.
TEST_F(Render, APngInMemoryIsTheFileRenderToFileWrites) {
  const kyv::RenderOptions options = darkAtDoubleSize();
  const std::string path = std::string(KYV_TEST_DIR) + "/render-memory.png";
  kyv::renderToFile(gauge, path, options);
  std::ifstream file(path, std::ios::binary);
  const std::string written{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_EQ(kyv::renderToPng(gauge, options), written);
  kyv::renderToFile(gauge, path);
  std::ifstream atReference(path, std::ios::binary);
  EXPECT_EQ(kyv::renderToPng(gauge),
            std::string(std::istreambuf_iterator<char>(atReference), std::istreambuf_iterator<char>()));
  try {
    kyv::renderToPng(gauge, 1e-300);
    FAIL() << "a scale outside the renderer's was taken";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::InvalidPropertyValue);
  }
}

TEST(Text, MeasuresWithTheFontAtTheReferenceResolution) {
  const kyv::TextSize one = kyv::measureText("8", "Times New Roman", 400, 9);
  const kyv::TextSize three = kyv::measureText("888", "Times New Roman", 400, 9);
  const kyv::TextSize big = kyv::measureText("8", "Times New Roman", 400, 18);
  EXPECT_GT(one.width, 0);
  EXPECT_NEAR(three.width, 3 * one.width, 2 * 15);
  EXPECT_GT(big.height, one.height);
}

}  // namespace
