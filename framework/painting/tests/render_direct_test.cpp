// Painting into a plain image writes rectangles, lines and text itself; it must set
// exactly the pixels cairo sets. Each scene is painted twice, once directly and once
// through a pushed group (which the renderer leaves to cairo), and compared pixel by pixel.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "kyv/class_table.h"
#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"
#include "kyv/render.h"

namespace {

// A scene of random boxes, lines of every style, width and direction, shapes, framed
// images, drawn segments and labels in every alignment.
class Scene : public kyv::Control {
 public:
  explicit Scene(unsigned seed)
      : Control(classTable(), nullptr),
        box(UserControl(), "box"),
        lines(box, "line"),
        shapes(box, "shape"),
        labels(box, "label"),
        frame(box, "frame"),
        child(box, "child") {
    std::mt19937 rng(seed);
    const auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const auto colour = [&] { return kyv::Colour{static_cast<uint32_t>(r(0, 0xFFFFFF))}; };
    UserControl().setRectTwips(0, 0, 4000, 3000);
    UserControl().setBorderStyle(static_cast<int16_t>(r(0, 1)));
    UserControl().setBackColor(colour());
    box.setRectTwips(100, 120, 3500, 2600);
    box.setBorderStyle(static_cast<int16_t>(r(0, 1)));
    box.setBackColor(kyv::Colour{0x80000005});
    for (int i = 0; i < 80; ++i) {
      kyv::LineElement& l = lines.create(i);
      const float x1 = r(-200, 3700), y1 = r(-200, 2800);
      switch (r(0, 3)) {
        case 0: setEnds(l, x1, y1, x1, r(-200, 2800)); break;
        case 1: setEnds(l, x1, y1, r(-200, 3700), y1); break;
        case 2: setEnds(l, x1, y1, r(-200, 3700), r(-200, 2800)); break;
        default: setEnds(l, x1, y1, x1 + r(-100, 100), y1 + r(-100, 100)); break;
      }
      // Slanted dashes are cairo's own (it places them in floating point from the line's
      // ends, so they move with the origin of a group): only straight lines get them.
      const bool slanted = l.x1Twips() != l.x2Twips() && l.y1Twips() != l.y2Twips();
      const int style = r(0, 6);
      l.setBorderStyle(static_cast<int16_t>(slanted && style >= 2 && style <= 5 ? 1 : style));
      l.setBorderWidth(static_cast<int16_t>(r(1, 4)));
      l.setBorderColor(colour());
    }
    for (int i = 0; i < 10; ++i) {
      kyv::Shape& s = shapes.create(i);
      s.setRectTwips(r(-300, 3400), r(-300, 2500), r(0, 900), r(0, 900));
      s.setFillColor(colour());
      s.setBorderStyle(static_cast<int16_t>(r(0, 1)));
      s.setBorderColor(colour());
    }
    for (int i = 0; i < 3; ++i) {
      kyv::Label& t = labels.create(i);
      t.setRectTwips(r(0, 3000), r(0, 2400), r(200, 1500), 300);
      t.setFont(i == 1 ? "Liberation Serif" : "Liberation Sans", r(0, 1) ? 700 : 400, static_cast<float>(r(6, 14)));
      t.setAlignment(static_cast<int16_t>(i));
      t.setCaption(std::to_string(r(0, 100000)));
      t.setForeColor(colour());
    }
    frame.setRectTwips(r(0, 2000), r(0, 1500), r(100, 1500), r(100, 1000));
    frame.setBorderStyle(1);
    for (int i = 0; i < 40; ++i) box.Line(r(-100, 3600), r(-100, 2700), r(-100, 3600), r(-100, 2700), colour());
    child.setBorderStyle(1);
    child.setBackColor(colour());
    // Half the scenes hide the box under a child box that covers it.
    if (r(0, 1))
      child.setRectTwips(-30, -30, 3600, 2700);
    else
      child.setRectTwips(2500, 1800, 1500, 1000);
  }

  static const kyv::ClassInfo& classTable() {
    static const kyv::ClassTable<Scene> table{"Test.Scene", 4000, 3000, {}, {}, {}};
    return table;
  }

  kyv::PictureBox box;
  kyv::ElementArray<kyv::LineElement> lines;
  kyv::ElementArray<kyv::Shape> shapes;
  kyv::ElementArray<kyv::Label> labels;
  kyv::Image frame;
  kyv::PictureBox child;

 private:
  static void setEnds(kyv::LineElement& l, float x1, float y1, float x2, float y2) {
    l.setX1(x1);
    l.setY1(y1);
    l.setX2(x2);
    l.setY2(y2);
  }
};

enum class Target { Image, Clipped, Rgb24 };

// The scene painted at (3, 4) of an image, directly or through a group.
std::vector<uint8_t> paint(Scene& scene, double tpp, Target target, bool viaGroup) {
  const int w = static_cast<int>(4000 / tpp) + 8, h = static_cast<int>(3000 / tpp) + 8;
  cairo_surface_t* img =
      cairo_image_surface_create(target == Target::Rgb24 ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(img);
  cairo_set_source_rgb(cr, 0.2, 0.4, 0.6);
  cairo_paint(cr);
  if (target == Target::Clipped) {
    cairo_rectangle(cr, 5, 2, w - 30, h - 25);
    cairo_clip(cr);
  }
  cairo_translate(cr, 3, 4);
  if (viaGroup) cairo_push_group(cr);
  kyv::render(scene, cr, tpp);
  if (viaGroup) {
    cairo_pop_group_to_source(cr);
    cairo_paint(cr);
  }
  cairo_destroy(cr);
  cairo_surface_flush(img);
  const int stride = cairo_image_surface_get_stride(img);
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * 4 * h);
  for (int y = 0; y < h; ++y) {
    std::memcpy(&pixels[static_cast<size_t>(y) * w * 4], cairo_image_surface_get_data(img) + y * stride, w * 4);
    if (target == Target::Rgb24)
      for (int x = 0; x < w; ++x) pixels[(static_cast<size_t>(y) * w + x) * 4 + 3] = 0;  // not a colour
  }
  cairo_surface_destroy(img);
  return pixels;
}

// The number of pixels that differ.
size_t differences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t n = 0;
  for (size_t i = 0; i + 4 <= a.size(); i += 4) n += std::memcmp(&a[i], &b[i], 4) != 0;
  return n;
}

TEST(RenderDirect, SetsExactlyThePixelsCairoSets) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    Scene scene(seed);
    for (double tpp : {15.0, 7.5, 10.0, 20.0})
      for (Target target : {Target::Image, Target::Clipped, Target::Rgb24})
        ASSERT_EQ(differences(paint(scene, tpp, target, false), paint(scene, tpp, target, true)), 0u)
            << "seed " << seed << ", " << tpp << " twips a pixel, target " << static_cast<int>(target);
  }
}

}  // namespace
