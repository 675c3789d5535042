// Painting only what changed must give the picture that painting everything gives. For
// every control of the family, a random sequence of property writes, feed calls, writes to
// the control's own elements, resizes, Refresh calls and palette changes runs, and after
// most steps the control's damage is painted into a kept image, which must then equal a
// full render of the same state pixel for pixel; every pixel that changed must lie in the
// damage. Each case has a fixed seed, so a failure reproduces; the test prints how much
// more the damage covered than what changed, and the writes to elements it made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "kyv/control.h"
#include "kyv/elements.h"
#include "kyv/error.h"
#include "kyv/palette.h"
#include "kyv/region.h"
#include "kyv/registry.h"
#include "kyv/render.h"
#include "kyv/site.h"

namespace {

struct Case {
  const char* className;
  double twipsPerPixel;
  unsigned seed;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.className << " at " << c.twipsPerPixel << " twips a pixel, seed " << c.seed;
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
  std::string name = info.param.className;
  name = name.substr(name.find('.') + 1);
  return name + (info.param.twipsPerPixel == 15 ? "_at100" : "_at200");
}

// Remembers the region of the last repaint request.
struct RecordingSite final : kyv::Site {
  void invalidated(kyv::Control&, const kyv::Region& damage) override {
    last = damage;
    ++requests;
  }
  kyv::Region last;
  int requests = 0;
};

// An image a host keeps between paints, larger than the control ever grows.
struct Image {
  Image(int w, int h, uint32_t fill) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  uint8_t* bits() { return reinterpret_cast<uint8_t*>(pixels.data()); }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  int width, height;
  std::vector<uint32_t> pixels;
};

// The classic palette with its greys and highlights swapped about: system colours change.
kyv::Palette otherPalette() {
  kyv::Palette p = kyv::systemPalette();
  std::reverse(p.begin(), p.end());
  return p;
}

class IncrementalPaint : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    const Case& c = GetParam();
    rng_.seed(c.seed);
    control_ = registry_.create(c.className);
    control_->setSite(&site_);
    const kyv::ClassInfo& info = control_->classInfo();
    width_ = info.defaultWidth();
    height_ = info.defaultHeight();
    control_->UserControl().setRectTwips(0, 0, width_, height_);
    control_->InitProperties();
    control_->Resize();
  }

  int r(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  template <class T>
  T pick(std::initializer_list<T> values) {
    return *(values.begin() + r(0, static_cast<int>(values.size()) - 1));
  }

  kyv::Variant value(kyv::VarType type) {
    switch (type) {
      case kyv::VarType::Integer:
        return kyv::Variant(
            pick<int16_t>({0, 1, 2, 3, 4, 5, 7, 9, 10, 16, 20, 40, 41, 50, 60, 99, 100, 101, 150, -1, -7}));
      case kyv::VarType::Long:
        return kyv::Variant(pick<int32_t>({0, 3, 7, 42, 100, 123, 999, 1234, 9999, 12345, -5, -77}));
      case kyv::VarType::Boolean: return kyv::Variant(r(0, 3) != 0);
      case kyv::VarType::Colour:
        if (r(0, 19) == 0) return kyv::Variant(kyv::Colour{0x80000040});  // refused
        if (r(0, 1)) return kyv::Variant(kyv::Colour{0x80000000u + static_cast<uint32_t>(r(0, 30))});
        return kyv::Variant(kyv::Colour{static_cast<uint32_t>(r(0, 0xFFFFFF))});
      case kyv::VarType::Single: return kyv::Variant(static_cast<float>(r(-10, 200)));
      case kyv::VarType::Double: return kyv::Variant(static_cast<double>(r(-10, 200)));
      default: return kyv::Variant(int16_t(r(0, 10)));
    }
  }

  // A fraction of `length` in fortieths, -6 to 6.
  float nudge(float length) { return length * static_cast<float>(r(-6, 6)) / 40.0f; }

  kyv::Colour colour() {
    return kyv::Colour{pick<uint32_t>({0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0x808080, 0x80000005, 0x8000000F})};
  }

  // A write to one of the control's own elements, as the control itself might make one:
  // a side moved, shown or hidden, a colour, a caption, an end of a line, a segment drawn,
  // a child restacked. Counted by what it did.
  void elementStep() {
    const std::vector<kyv::Element*>& all = control_->UserControl().elements();
    if (all.empty()) return;
    kyv::Element& e = *all[static_cast<size_t>(r(0, static_cast<int>(all.size()) - 1))];
    const kyv::Container& parent = *e.parent();
    const int what = r(0, 3);
    sincePaint_.append(" ").append(e.path()).append(":").append(std::to_string(what));
    if (what == 0) {
      ++elementSteps_["Visible"];
      e.setVisible(!e.Visible());
      return;
    }
    if (e.kind() == kyv::ElementKind::Line) {
      auto& l = static_cast<kyv::LineElement&>(e);
      ++elementSteps_[what == 1 ? "Line.end" : what == 2 ? "Line.BorderColor" : "Line.BorderStyle"];
      if (what == 2) return l.setBorderColor(colour());
      if (what == 3) return l.setBorderStyle(static_cast<int16_t>(r(1, 5)));
      if (r(0, 1)) return l.setX2(l.X2() + nudge(parent.ScaleWidth()));
      return l.setY1(l.Y1() + nudge(parent.ScaleHeight()));
    }
    auto& rect = static_cast<kyv::RectElement&>(e);
    if (what == 1) {
      ++elementSteps_["side"];
      switch (r(0, 3)) {
        case 0: rect.setLeft(rect.Left() + nudge(parent.ScaleWidth())); return;
        case 1: rect.setTop(rect.Top() + nudge(parent.ScaleHeight())); return;
        case 2: rect.setWidth(std::max(0.0f, rect.Width() + nudge(parent.ScaleWidth()))); return;
        default: rect.setHeight(std::max(0.0f, rect.Height() + nudge(parent.ScaleHeight()))); return;
      }
    }
    switch (e.kind()) {
      case kyv::ElementKind::Shape: {
        auto& shape = static_cast<kyv::Shape&>(e);
        ++elementSteps_[what == 2 ? "Shape.FillColor" : "Shape.BorderStyle"];
        if (what == 2)
          shape.setFillColor(colour());
        else
          shape.setBorderStyle(static_cast<int16_t>(r(0, 1)));
        return;
      }
      case kyv::ElementKind::Label: {
        auto& label = static_cast<kyv::Label&>(e);
        ++elementSteps_[what == 2 ? "Label.Caption" : "Label.Alignment"];
        if (what == 2)
          label.setCaption(pick<const char*>({"", "7", "42", "-1.5", "WWW"}));
        else
          label.setAlignment(static_cast<int16_t>(r(0, 2)));
        return;
      }
      case kyv::ElementKind::PictureBox: {
        auto& box = static_cast<kyv::Container&>(e);
        if (what == 2) {
          ++elementSteps_["PictureBox.Line"];
          box.Line(box.ScaleLeft(), box.ScaleTop() + nudge(box.ScaleHeight()) + box.ScaleHeight() / 2,
                   box.ScaleLeft() + box.ScaleWidth(), box.ScaleTop() + box.ScaleHeight() / 2, colour());
          return;
        }
        ++elementSteps_["Restack"];
        if (!box.stacking().empty()) box.bringToFront(*box.stacking().front());
        return;
      }
      default:
        ++elementSteps_["Visible"];
        e.setVisible(!e.Visible());
        return;
    }
  }

  // A random step; whether it was a late-bound call, whose end reports all of the damage.
  bool step() {
    const auto& members = control_->classInfo().members();
    std::vector<int> methods, properties;
    for (size_t i = 0; i < members.size(); ++i)
      (members[i].kind == kyv::MemberKind::Method ? methods : properties).push_back(static_cast<int>(i));
    const int roll = r(0, 99);
    try {
      if (roll < 50 && !methods.empty()) {
        const int m = methods[static_cast<size_t>(r(0, static_cast<int>(methods.size()) - 1))];
        kyv::Variant arg = value(members[m].argType);
        sincePaint_.append(" ").append(members[m].name);
        control_->invoke(m, kyv::Invoke::Call, &arg);
        return true;
      }
      if (roll < 70) {
        const int p = properties[static_cast<size_t>(r(0, static_cast<int>(properties.size()) - 1))];
        kyv::Variant v = value(members[p].type);
        sincePaint_.append(" ").append(members[p].name).append("=");
        control_->invoke(p, kyv::Invoke::Put, &v);
        return true;
      }
      if (roll < 80) {
        elementStep();
        return false;
      }
      if (roll < 88) {
        const kyv::ClassInfo& info = control_->classInfo();
        width_ = static_cast<float>(info.defaultWidth() * r(50, 160) / 100.0);
        height_ = static_cast<float>(info.defaultHeight() * r(50, 160) / 100.0);
        sincePaint_.append(" resize");
        control_->setExtent(width_, height_);
        return false;
      }
      if (roll < 95) {
        sincePaint_.append(" Refresh");
        control_->UserControl().Refresh();
        return false;
      }
      sincePaint_.append(" palette");
      palette_ = palette_ ? nullptr : &other_;
    } catch (const kyv::Error&) {
      // A refused value or a failed call leaves what it did before; the picture follows.
    }
    return false;
  }

  kyv::RenderOptions options(bool onlyDamage) const {
    kyv::RenderOptions o;
    o.twipsPerPixel = GetParam().twipsPerPixel;
    o.palette = palette_;
    o.onlyDamage = onlyDamage;
    return o;
  }

  // The pixels the control covers now.
  int extentWidth() const { return static_cast<int>(std::lround(width_ / GetParam().twipsPerPixel)); }
  int extentHeight() const { return static_cast<int>(std::lround(height_ / GetParam().twipsPerPixel)); }

  kyv::Registry registry_;
  kyv::ControlPtr control_;
  RecordingSite site_;
  std::mt19937 rng_;
  float width_ = 0, height_ = 0;
  const kyv::Palette other_ = otherPalette();
  const kyv::Palette* palette_ = nullptr;
  std::map<std::string, long> elementSteps_;  // writes to the control's elements, by what they did
  std::string sincePaint_;                    // the steps since the last paint
};

TEST_P(IncrementalPaint, PaintingTheDamageGivesTheFullPicture) {
  const Case& c = GetParam();
  const kyv::ClassInfo& info = control_->classInfo();
  const int w = static_cast<int>(std::ceil(info.defaultWidth() * 1.6 / c.twipsPerPixel)) + 4;
  const int h = static_cast<int>(std::ceil(info.defaultHeight() * 1.6 / c.twipsPerPixel)) + 4;
  constexpr uint32_t kUnpainted = 0x12345678;
  Image kept(w, h, kUnpainted), before(w, h, kUnpainted);
  kyv::renderToPixels(*control_, kept.bits(), w, h, w * 4, options(false));
  kyv::renderToPixels(*control_, before.bits(), w, h, w * 4, options(false));
  control_->clearDirty();

  const kyv::Palette* paintedPalette = palette_;
  double damaged = 0, changed = 0;
  for (int i = 0; i < 150; ++i) {
    const int requests = site_.requests;
    const bool call = step();
    if (call && site_.requests > requests) {
      const std::vector<kyv::PixelRect>& told = site_.last.rects();
      ASSERT_TRUE(told == control_->damage().rects()) << "step " << i << ": the site was not told all of the damage";
    }
    if (r(0, 3) == 0) continue;  // several steps between paints

    Image full(w, h, kUnpainted);
    const kyv::Region damage = control_->damage();
    sincePaint_.append(" changing");
    for (const kyv::Element* e : control_->UserControl().changedElements()) sincePaint_.append(" ").append(e->path());
    const bool trusted = paintedPalette == palette_ && !damage.isEverything();
    kyv::renderToPixels(*control_, kept.bits(), w, h, w * 4, options(true));
    paintedPalette = palette_;
    kyv::renderToPixels(*control_, full.bits(), w, h, w * 4, options(false));
    EXPECT_FALSE(control_->dirty());
    const int ew = std::min(extentWidth(), w), eh = std::min(extentHeight(), h);
    size_t differing = 0;
    // Plain comparisons first: an assertion a pixel would cost more than the paints.
    for (int y = 0; y < eh; ++y)
      for (int x = 0; x < ew; ++x) {
        const uint32_t shown = kept.at(x, y), expected = full.at(x, y);
        if (shown != expected) {
          ASSERT_EQ(shown, expected) << "step " << i << " at " << x << ", " << y << " after" << sincePaint_;
        }
        if (before.at(x, y) == expected) continue;
        ++differing;
        if (trusted && !damage.contains(x, y))
          FAIL() << "step " << i << ": changed pixel " << x << ", " << y << " is not in the damage after"
                 << sincePaint_;
      }
    if (trusted) {
      kyv::Region inside;
      for (const kyv::PixelRect& d : damage.rects()) inside.add(kyv::intersect(d, {0, 0, ew, eh}));
      damaged += static_cast<double>(inside.area());
      changed += static_cast<double>(differing);
    }
    before = full;
    sincePaint_.clear();
  }
  std::printf("%s at %g twips a pixel: damage %.0f pixels for %.0f changed, %.2f times; element steps:", c.className,
              c.twipsPerPixel, damaged, changed, changed > 0 ? damaged / changed : 0.0);
  for (const auto& [what, count] : elementSteps_) std::printf(" %s %ld", what.c_str(), count);
  std::printf("\n");
}

INSTANTIATE_TEST_SUITE_P(EveryControl, IncrementalPaint,
                         testing::Values(Case{"KyvVStatus.Kyvvstat", 15, 11}, Case{"KyvVStatus.Kyvvstat", 7.5, 12},
                                         Case{"KyvHStatus.Hstat", 15, 21}, Case{"KyvHStatus.Hstat", 7.5, 22},
                                         Case{"Kyv1Digit.sseg", 15, 31}, Case{"Kyv1Digit.sseg", 7.5, 32},
                                         Case{"Kyv4Digit.fourseg", 15, 41}, Case{"Kyv4Digit.fourseg", 7.5, 42},
                                         Case{"Kyv6Digit.sixseg", 15, 51}, Case{"Kyv6Digit.sixseg", 7.5, 52},
                                         Case{"KyvMovingBars.KyvMovingBar", 15, 61},
                                         Case{"KyvMovingBars.KyvMovingBar", 7.5, 62},
                                         Case{"KyvPulse.HeartBeat", 15, 71}, Case{"KyvPulse.HeartBeat", 7.5, 72},
                                         Case{"KyvMultiBars.KyvMultiBar", 15, 81},
                                         Case{"KyvMultiBars.KyvMultiBar", 7.5, 82}),
                         caseName);

}  // namespace
