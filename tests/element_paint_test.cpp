// Painting only what changed must give the picture that painting everything gives, for
// every change an element can make. A scene of every element kind (picture boxes within
// boxes, shapes, labels, lines and image frames, element arrays, and a slot holding a
// scene of its own) goes through a long random sequence of element operations: each side
// of each kind moved, visibility, colours, outlines, captions, fonts and alignment,
// restacking, array members loaded and unloaded, drawn segments and their clearing,
// container scales, the extent, and the slot's control replaced. After most steps the
// damage is painted into a kept image, which must then equal a full render pixel for
// pixel, and every pixel that changed must lie in the damage. The operations are drawn
// evenly, each case has a fixed seed so a failure reproduces, and the test prints how many
// steps of each operation ran.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "kyv/class_table.h"
#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"
#include "kyv/error.h"
#include "kyv/region.h"
#include "kyv/render.h"

namespace {

constexpr float kSceneWidth = 3000, kSceneHeight = 1800;  // 200 x 120 pixels at 15 twips a pixel

// A control that is nothing but elements: the operations reach them directly.
class Scene : public kyv::Control {
 public:
  explicit Scene(bool withSlot)
      : Control(classTable(), nullptr),
        box(UserControl(), "box"),
        inner(box, "inner"),
        frame(box, "frame"),
        shape(box, "shape"),
        label(box, "label"),
        line(box, "line"),
        panel(box, "panel"),
        dot(inner, "dot"),
        tag(inner, "tag") {
    UserControl().setRectTwips(0, 0, kSceneWidth, kSceneHeight);
    UserControl().setBackColor(kyv::Colour{0xFFFFFF});
    box.setRectTwips(150, 150, 2000, 1300);
    box.setBorderStyle(1);
    box.setBackColor(kyv::Colour{0x00FFFF});
    inner.setRectTwips(900, 600, 900, 600);
    inner.setBackColor(kyv::Colour{0xFFFF00});
    frame.setRectTwips(100, 700, 700, 400);
    frame.setBorderStyle(1);
    const kyv::Colour fills[] = {kyv::Colour{0x0000FF}, kyv::Colour{0x00FF00}, kyv::Colour{0xFF0000}};
    for (int i = 1; i <= 3; ++i) {
      kyv::Shape& s = shape.create(i);
      s.setRectTwips(150.0f * i, 120.0f * i, 600, i == 3 ? 7.5f : 450);  // the last a low bar
      s.setFillColor(fills[i - 1]);
      s.setBorderColor(kyv::Colour{0x000000});
      s.setBorderStyle(i % 2);
    }
    for (int i = 1; i <= 2; ++i) {
      kyv::Label& l = label.create(i);
      l.setRectTwips(200, 500.0f * i, 1200, 300);
      l.setCaption(i == 1 ? "Level 42" : "7");
      l.setAlignment(static_cast<int16_t>(i));
      l.setForeColor(kyv::Colour{0x000000});
    }
    for (int i = 1; i <= 2; ++i) {
      kyv::LineElement& l = line.create(i);
      l.setX1(0);
      l.setY1(300.0f * i);
      l.setX2(1800);
      l.setY2(900.0f / i);
      l.setBorderColor(kyv::Colour{0x800080});
      l.setBorderWidth(static_cast<int16_t>(i * 2));
    }
    for (int i = 1; i <= 2; ++i) {
      kyv::PictureBox& b = panel.create(i);
      b.setRectTwips(1200, 150.0f + 450.0f * i, 600, 300);
      b.setBackColor(kyv::Colour{i == 1 ? 0x008000u : 0x800000u});
      b.setBorderStyle(static_cast<int16_t>(i - 1));
    }
    dot.setRectTwips(100, 100, 400, 300);
    dot.setFillColor(kyv::Colour{0x808080});
    tag.setRectTwips(0, 300, 900, 300);
    tag.setCaption("tag");
    if (withSlot) {
      slot = std::make_unique<kyv::ControlSlot>(UserControl(), "slot");
      slot->setRectTwips(1800, 900, 1000, 700);
      slot->setControl(kyv::ControlPtr(new Scene(false)));
    }
  }

  static const kyv::ClassInfo& classTable() {
    static const kyv::ClassTable<Scene> table{"KyvTestScene.Scene", kSceneWidth, kSceneHeight, {}, {}, {}};
    return table;
  }

  kyv::PictureBox box, inner;
  kyv::Image frame;
  kyv::ElementArray<kyv::Shape> shape;
  kyv::ElementArray<kyv::Label> label;
  kyv::ElementArray<kyv::LineElement> line;
  kyv::ElementArray<kyv::PictureBox> panel;
  kyv::Shape dot;
  kyv::Label tag;
  std::unique_ptr<kyv::ControlSlot> slot;
};

// Every element of a scene and of the scene in its slot, by kind, as the step finds them.
struct Parts {
  std::vector<kyv::Shape*> shapes;
  std::vector<kyv::Image*> images;
  std::vector<kyv::Label*> labels;
  std::vector<kyv::LineElement*> lines;
  std::vector<kyv::PictureBox*> boxes;
  std::vector<kyv::ControlSlot*> slots;
  std::vector<kyv::Container*> containers;  // boxes and surfaces
  std::vector<kyv::RectElement*> rects;     // everything with a rectangle but the surfaces
  std::vector<kyv::ElementArray<kyv::Shape>*> shapeArrays;
  std::vector<kyv::ElementArray<kyv::Label>*> labelArrays;
  std::vector<kyv::ElementArray<kyv::LineElement>*> lineArrays;
  std::vector<kyv::ElementArray<kyv::PictureBox>*> panelArrays;

  void gather(Scene& s) {
    containers.push_back(&s.UserControl());
    for (kyv::PictureBox* b : {&s.box, &s.inner}) {
      boxes.push_back(b);
      containers.push_back(b);
      rects.push_back(b);
    }
    images.push_back(&s.frame);
    rects.push_back(&s.frame);
    shapes.push_back(&s.dot);
    labels.push_back(&s.tag);
    s.shape.forEach([&](kyv::Shape& e) { shapes.push_back(&e); });
    s.label.forEach([&](kyv::Label& e) { labels.push_back(&e); });
    s.line.forEach([&](kyv::LineElement& e) { lines.push_back(&e); });
    s.panel.forEach([&](kyv::PictureBox& e) {
      boxes.push_back(&e);
      containers.push_back(&e);
      rects.push_back(&e);
    });
    for (kyv::Shape* e : shapes) rects.push_back(e);
    for (kyv::Label* e : labels) rects.push_back(e);
    shapeArrays.push_back(&s.shape);
    labelArrays.push_back(&s.label);
    lineArrays.push_back(&s.line);
    panelArrays.push_back(&s.panel);
    if (!s.slot) return;
    slots.push_back(s.slot.get());
    rects.push_back(s.slot.get());
    if (s.slot->control()) gather(static_cast<Scene&>(*s.slot->control()));
  }
};

enum class Side { Left, Top, Right, Bottom };

struct Case {
  double twipsPerPixel;
  unsigned seed;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.twipsPerPixel << " twips a pixel, seed " << c.seed; }

class ElementPaint : public testing::TestWithParam<Case> {
 protected:
  // One operation: its name, and what it does with the scene as it is now.
  struct Operation {
    std::string name;
    std::function<void(Parts&)> run;
    long steps = 0;
    long refused = 0;
    long idle = 0;  // steps that found nothing to do (no member to unload, one child to restack)
  };

  ElementPaint() : scene_(true) {
    rng_.seed(GetParam().seed);
    defineOperations();
  }

  int r(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  template <class T>
  const T& any(const std::vector<T>& items) {
    return items[static_cast<size_t>(r(0, static_cast<int>(items.size()) - 1))];
  }
  template <class T>
  T pick(std::initializer_list<T> values) {
    return *(values.begin() + r(0, static_cast<int>(values.size()) - 1));
  }
  // A fraction of a length in fortieths, as often off a pixel boundary as on one.
  float part(float length, int lo, int hi) { return length * static_cast<float>(r(lo, hi)) / 40.0f; }

  kyv::Colour colour() {
    return kyv::Colour{pick<uint32_t>({0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x808080, 0x00FFFF, 0x80000005,
                                       0x80000008, 0x8000000F, 0x80000012})};
  }

  // Moves one side of `e` by a part of its container's scale, the opposite side staying.
  void moveSide(kyv::RectElement& e, Side side) {
    const kyv::Container& box = *e.parent();
    const float dx = part(box.ScaleWidth(), -6, 6), dy = part(box.ScaleHeight(), -6, 6);
    switch (side) {
      case Side::Left:
        e.setLeft(e.Left() + dx);
        e.setWidth(std::max(0.0f, e.Width() - dx));
        return;
      case Side::Top:
        e.setTop(e.Top() + dy);
        e.setHeight(std::max(0.0f, e.Height() - dy));
        return;
      case Side::Right: e.setWidth(thin() ? box.sizeToUnitsX(thinTwips()) : std::max(0.0f, e.Width() + dx)); return;
      case Side::Bottom: e.setHeight(thin() ? box.sizeToUnitsY(thinTwips()) : std::max(0.0f, e.Height() + dy)); return;
    }
  }

  // Now and then a side moves to a pixel or two from the other, or onto it.
  bool thin() { return r(0, 3) == 0; }
  float thinTwips() { return pick({0.0f, 5.0f, 7.5f, 10.0f, 15.0f, 22.5f}); }

  // A random one of the ends of `l`, set to a place in its container.
  void moveEnd(kyv::LineElement& l, int end) {
    const kyv::Container& box = *l.parent();
    const float x = box.ScaleLeft() + part(box.ScaleWidth(), -4, 44);
    const float y = box.ScaleTop() + part(box.ScaleHeight(), -4, 44);
    switch (end) {
      case 0: l.setX1(x); return;
      case 1: l.setY1(y); return;
      case 2: l.setX2(x); return;
      default: l.setY2(y); return;
    }
  }

  template <class T>
  void sides(const std::string& kind, std::vector<T*> Parts::*members) {
    const std::pair<const char*, Side> all[] = {
        {".Left", Side::Left}, {".Top", Side::Top}, {".Right", Side::Right}, {".Bottom", Side::Bottom}};
    for (const auto& [name, side] : all)
      operations_.push_back(
          {kind + name, [this, members, side = side](Parts& p) { moveSide(*any(p.*members), side); }});
  }

  template <class T>
  void load(std::vector<kyv::ElementArray<T>*>& arrays) {
    kyv::ElementArray<T>& a = *any(arrays);
    int index = 4;
    while (a.exists(index)) ++index;
    if (index > 9) {
      idle_ = true;
      return;
    }
    T& member = a.Load(index);
    const kyv::Container& box = *member.parent();
    if constexpr (std::is_same_v<T, kyv::LineElement>) {
      for (int end = 0; end < 4; ++end) moveEnd(member, end);
    } else {
      member.setLeft(box.ScaleLeft() + part(box.ScaleWidth(), -4, 36));
      member.setTop(box.ScaleTop() + part(box.ScaleHeight(), -4, 36));
    }
    member.setVisible(r(0, 3) != 0);
  }

  // Adds a call unloading it for each run-time member of `arrays`.
  template <class T>
  static void unloaders(const std::vector<kyv::ElementArray<T>*>& arrays, std::vector<std::function<void()>>& out) {
    for (kyv::ElementArray<T>* a : arrays)
      for (int i = 4; i <= 9; ++i)
        if (a->exists(i)) out.push_back([a, i] { a->Unload(i); });
  }

  void defineOperations() {
    sides("Shape", &Parts::shapes);
    sides("Image", &Parts::images);
    sides("Label", &Parts::labels);
    sides("PictureBox", &Parts::boxes);
    sides("ControlSlot", &Parts::slots);
    for (int end = 0; end < 4; ++end) {
      const char* names[] = {"Line.X1", "Line.Y1", "Line.X2", "Line.Y2"};
      operations_.push_back({names[end], [this, end](Parts& p) { moveEnd(*any(p.lines), end); }});
    }
    add("Move", [this](Parts& p) {
      kyv::RectElement& e = *any(p.rects);
      e.setLeft(e.Left() + part(e.parent()->ScaleWidth(), -8, 8));
      e.setTop(e.Top() + part(e.parent()->ScaleHeight(), -8, 8));
    });
    add("Extent", [this](Parts&) {
      scene_.setExtent(kSceneWidth * static_cast<float>(r(60, 130)) / 100.0f,
                       kSceneHeight * static_cast<float>(r(60, 130)) / 100.0f);
    });
    add("Visible", [this](Parts& p) {
      std::vector<kyv::Element*> all(p.rects.begin(), p.rects.end());
      all.insert(all.end(), p.lines.begin(), p.lines.end());
      kyv::Element& e = *any(all);
      e.setVisible(!e.Visible());
    });
    add("Shape.FillColor", [this](Parts& p) { any(p.shapes)->setFillColor(colour()); });
    add("Shape.BorderColor", [this](Parts& p) { any(p.shapes)->setBorderColor(colour()); });
    add("Shape.BorderStyle", [this](Parts& p) { any(p.shapes)->setBorderStyle(static_cast<int16_t>(r(0, 1))); });
    add("Image.BorderStyle", [this](Parts& p) { any(p.images)->setBorderStyle(static_cast<int16_t>(r(0, 1))); });
    add("Line.BorderColor", [this](Parts& p) { any(p.lines)->setBorderColor(colour()); });
    add("Line.BorderStyle", [this](Parts& p) { any(p.lines)->setBorderStyle(static_cast<int16_t>(r(0, 6))); });
    add("Line.BorderWidth", [this](Parts& p) { any(p.lines)->setBorderWidth(static_cast<int16_t>(r(1, 6))); });
    add("Label.ForeColor", [this](Parts& p) { any(p.labels)->setForeColor(colour()); });
    add("Label.Caption", [this](Parts& p) {
      any(p.labels)->setCaption(pick<const char*>({"", "1", "7", "42", "Level 42", "WWW", "i", "-12.5", "Tank"}));
    });
    add("Label.Alignment", [this](Parts& p) { any(p.labels)->setAlignment(static_cast<int16_t>(r(0, 2))); });
    add("Label.Font", [this](Parts& p) {
      any(p.labels)->setFont(pick<const char*>({"Liberation Sans", "DejaVu Sans"}), pick({400, 700}),
                             pick({6.0f, 8.25f, 12.0f, 20.0f}));
    });
    add("Label.AutoSize", [this](Parts& p) { any(p.labels)->setAutoSize(r(0, 2) == 0); });
    add("Container.BackColor", [this](Parts& p) { any(p.containers)->setBackColor(colour()); });
    add("Container.BorderStyle",
        [this](Parts& p) { any(p.containers)->setBorderStyle(static_cast<int16_t>(r(0, 1))); });
    add("Container.Scale", [this](Parts& p) {
      kyv::Container& box = *any(p.containers);
      switch (r(0, 3)) {
        case 0: box.setScaleWidth(pick({box.interiorWidth(), 100.0f, 1000.0f, 7.0f})); return;
        case 1: box.setScaleHeight(pick({box.interiorHeight(), 100.0f, 1000.0f, 3.5f})); return;
        case 2: box.setScaleLeft(pick({0.0f, -50.0f, 10.0f})); return;
        default: box.setScaleTop(pick({0.0f, -50.0f, 10.0f})); return;
      }
    });
    add("Restack", [this](Parts& p) {
      std::vector<kyv::Container*> crowded;
      for (kyv::Container* c : p.containers)
        if (c->stacking().size() >= 2) crowded.push_back(c);
      if (crowded.empty()) {
        idle_ = true;
        return;
      }
      kyv::Container& box = *any(crowded);
      kyv::Element& child = *any(box.stacking());
      switch (r(0, 2)) {
        case 0: box.bringToFront(child); return;
        case 1: box.sendToBack(child); return;
        default: box.placeInFrontOf(child, *any(box.stacking())); return;
      }
    });
    add("Array.Load", [this](Parts& p) {
      switch (r(0, 3)) {
        case 0: return load(p.shapeArrays);
        case 1: return load(p.labelArrays);
        case 2: return load(p.lineArrays);
        default: return load(p.panelArrays);
      }
    });
    add("Array.Unload", [this](Parts& p) {
      std::vector<std::function<void()>> loaded;
      unloaders(p.shapeArrays, loaded);
      unloaders(p.labelArrays, loaded);
      unloaders(p.lineArrays, loaded);
      unloaders(p.panelArrays, loaded);
      if (loaded.empty()) {
        idle_ = true;
        return;
      }
      any(loaded)();
    });
    // Mostly a few segments, now and then a trace drawn anew: many at once.
    add("Container.Line", [this](Parts& p) {
      kyv::Container& box = *any(p.containers);
      const int count = r(0, 5) == 0 ? r(17, 30) : r(1, 3);
      for (int i = 0; i < count; ++i)
        box.Line(box.ScaleLeft() + part(box.ScaleWidth(), -2, 42), box.ScaleTop() + part(box.ScaleHeight(), -2, 42),
                 box.ScaleLeft() + part(box.ScaleWidth(), -2, 42), box.ScaleTop() + part(box.ScaleHeight(), -2, 42),
                 colour());
    });
    add("Container.Refresh", [this](Parts& p) { any(p.containers)->Refresh(); });
    add("ControlSlot.Control", [this](Parts& p) {
      any(p.slots)->setControl(r(0, 4) == 0 ? kyv::ControlPtr() : kyv::ControlPtr(new Scene(false)));
    });
  }

  void add(std::string name, std::function<void(Parts&)> run) {
    operations_.push_back({std::move(name), std::move(run)});
  }

  // Runs one operation drawn at random and notes its name; a refused value leaves what it
  // did before.
  void step() {
    Parts parts;
    parts.gather(scene_);
    Operation& op = operations_[static_cast<size_t>(r(0, static_cast<int>(operations_.size()) - 1))];
    ++op.steps;
    sincePaint_.append(" ").append(op.name).append(",");
    idle_ = false;
    try {
      op.run(parts);
    } catch (const kyv::Error&) {
      ++op.refused;
    }
    op.idle += idle_;
  }

  kyv::RenderOptions options(bool onlyDamage) const {
    kyv::RenderOptions o;
    o.twipsPerPixel = GetParam().twipsPerPixel;
    o.onlyDamage = onlyDamage;
    return o;
  }

  int extent(float twips) const { return static_cast<int>(std::lround(twips / GetParam().twipsPerPixel)); }

  Scene scene_;
  std::mt19937 rng_;
  std::vector<Operation> operations_;
  std::string sincePaint_;  // the operations run since the last paint
  bool idle_ = false;       // the step under way found nothing to do
};

struct Picture {
  Picture(int w, int h, uint32_t fill) : width(w), pixels(static_cast<size_t>(w) * h, fill) {}
  uint8_t* bits() { return reinterpret_cast<uint8_t*>(pixels.data()); }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  int width;
  std::vector<uint32_t> pixels;
};

// Each operation is drawn about this many times in a case.
constexpr int kStepsPerOperation = 300;

TEST_P(ElementPaint, PaintingTheDamageGivesTheFullPicture) {
  const double tpp = GetParam().twipsPerPixel;
  const int w = static_cast<int>(std::ceil(kSceneWidth * 1.3 / tpp)) + 2;
  const int h = static_cast<int>(std::ceil(kSceneHeight * 1.3 / tpp)) + 2;
  constexpr uint32_t kUnpainted = 0x12345678;
  Picture kept(w, h, kUnpainted), before(w, h, kUnpainted), full(w, h, kUnpainted);
  kyv::renderToPixels(scene_, kept.bits(), w, h, w * 4, options(false));
  before = kept;

  const long steps = static_cast<long>(operations_.size()) * kStepsPerOperation;
  for (long i = 0; i < steps; ++i) {
    step();
    if (r(0, 2) == 0) continue;  // several steps between paints
    const kyv::Region damage = scene_.damage();
    sincePaint_.append(" changing");
    for (const kyv::Element* e : scene_.UserControl().changedElements()) sincePaint_.append(" ").append(e->path());
    kyv::renderToPixels(scene_, kept.bits(), w, h, w * 4, options(true));
    kyv::renderToPixels(scene_, full.bits(), w, h, w * 4, options(false));
    const int ew = std::min(extent(scene_.UserControl().widthTwips()), w);
    const int eh = std::min(extent(scene_.UserControl().heightTwips()), h);
    const bool trusted = !damage.isEverything();
    // Plain comparisons first: an assertion a pixel would cost more than the paints.
    for (int y = 0; y < eh; ++y)
      for (int x = 0; x < ew; ++x) {
        const uint32_t shown = kept.at(x, y), expected = full.at(x, y);
        if (shown != expected) {
          ASSERT_EQ(shown, expected) << "step " << i << " at " << x << ", " << y << " after" << sincePaint_;
        }
        if (!trusted || before.at(x, y) == expected || damage.contains(x, y)) continue;
        FAIL() << "step " << i << ": changed pixel " << x << ", " << y << " is not in the damage after" << sincePaint_;
      }
    std::swap(before, full);
    sincePaint_.clear();
  }

  std::printf("At %g twips a pixel, steps of each operation (refused, with nothing to do):\n", tpp);
  for (const Operation& op : operations_) {
    std::printf("  %-22s %5ld (%ld, %ld)\n", op.name.c_str(), op.steps, op.refused, op.idle);
    RecordProperty(op.name, static_cast<int>(op.steps));  // in the XML report too
    EXPECT_GE(op.steps - op.refused - op.idle, kStepsPerOperation / 2) << op.name << " ran too seldom to be trusted";
  }
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, ElementPaint, testing::Values(Case{15, 101}, Case{7.5, 102}),
                         [](const testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.twipsPerPixel == 15 ? "at100" : "at200");
                         });

}  // namespace
