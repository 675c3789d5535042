// The element dump: one line per element property, elements in creation order.
#include <ostream>

#include "host.h"
#include "kyv/bag.h"
#include "kyv/elements.h"

namespace kyvhost {
namespace {

using kyv::Element;
using kyv::ElementKind;

std::string num(float v) { return kyv::formatNumber(v); }
std::string show(const kyv::Variant& v) { return v.display(); }

struct Dumper {
  std::ostream& out;

  void line(const std::string& prefix, const std::string& what, const std::string& value) const {
    out << prefix << what << " = " << value << '\n';
  }

  void rect(const std::string& p, const kyv::RectElement& e) const {
    line(p, "Left", num(e.leftTwips()));
    line(p, "Top", num(e.topTwips()));
    line(p, "Width", num(e.widthTwips()));
    line(p, "Height", num(e.heightTwips()));
    line(p, "Visible", show(e.Visible()));
  }

  void surface(const std::string& p, const kyv::Surface& s) const {
    line(p, "Width", num(s.widthTwips()));
    line(p, "Height", num(s.heightTwips()));
    line(p, "ScaleWidth", num(s.ScaleWidth()));
    line(p, "ScaleHeight", num(s.ScaleHeight()));
    line(p, "BackColor", show(s.BackColor()));
    line(p, "BorderStyle", show(s.BorderStyle()));
  }

  void element(const std::string& prefix, const Element& e) const {
    const std::string p = prefix + e.path() + ".";
    switch (e.kind()) {
      case ElementKind::Surface: break;
      case ElementKind::PictureBox: {
        const auto& b = static_cast<const kyv::PictureBox&>(e);
        rect(p, b);
        line(p, "BackColor", show(b.BackColor()));
        line(p, "BorderStyle", show(b.BorderStyle()));
        line(p, "ScaleWidth", num(b.ScaleWidth()));
        line(p, "ScaleHeight", num(b.ScaleHeight()));
        line(p, "Drawn", std::to_string(b.drawnLines().size()));
        int i = 0;
        for (const kyv::DrawnLine& s : b.drawnLines())
          line(p, "Segment(" + std::to_string(i++) + ")",
               num(s.x1) + ' ' + num(s.y1) + ' ' + num(s.x2) + ' ' + num(s.y2) + ' ' + show(s.colour));
        break;
      }
      case ElementKind::Label: {
        const auto& l = static_cast<const kyv::Label&>(e);
        rect(p, l);
        line(p, "Caption", show(kyv::Variant(l.Caption())));
        break;
      }
      case ElementKind::Line: {
        const auto& l = static_cast<const kyv::LineElement&>(e);
        line(p, "X1", num(l.x1Twips()));
        line(p, "Y1", num(l.y1Twips()));
        line(p, "X2", num(l.x2Twips()));
        line(p, "Y2", num(l.y2Twips()));
        line(p, "Visible", show(l.Visible()));
        line(p, "BorderColor", show(l.BorderColor()));
        line(p, "BorderStyle", show(l.BorderStyle()));
        line(p, "BorderWidth", show(l.BorderWidth()));
        break;
      }
      case ElementKind::Shape: {
        const auto& s = static_cast<const kyv::Shape&>(e);
        rect(p, s);
        line(p, "FillColor", show(s.FillColor()));
        break;
      }
      case ElementKind::Image: {
        const auto& i = static_cast<const kyv::Image&>(e);
        rect(p, i);
        line(p, "BorderStyle", show(i.BorderStyle()));
        break;
      }
      case ElementKind::ControlSlot: {
        const auto& slot = static_cast<const kyv::ControlSlot&>(e);
        rect(p, slot);
        if (slot.control()) elements(p, *slot.control());
        break;
      }
    }
  }

  // Splits "digit(3).seg" into "digit(3)" and "seg".
  static std::pair<std::string_view, std::string_view> head(std::string_view path) {
    const size_t dot = path.find('.');
    if (dot == std::string_view::npos) return {path, {}};
    return {path.substr(0, dot), path.substr(dot + 1)};
  }

  // "BarSeg" matches every member of the array, "BarSeg(1)" one member.
  static bool matches(const Element& e, std::string_view step) {
    const size_t paren = step.find('(');
    if (paren == std::string_view::npos) return kyv::sameName(e.name(), step);
    return kyv::sameName(e.path(), step);
  }

  // An embedded control shows its elements only: its surface is the slot itself.
  void elements(const std::string& prefix, kyv::Control& c) const {
    for (const Element* e : c.UserControl().elements()) element(prefix, *e);
  }

  bool control(const std::string& prefix, kyv::Control& c, std::string_view path) const {
    if (path.empty()) {
      surface(prefix + "UserControl.", c.UserControl());
      elements(prefix, c);
      return true;
    }
    auto [step, rest] = head(path);
    if (kyv::sameName(step, "UserControl") && rest.empty()) {
      surface(prefix + "UserControl.", c.UserControl());
      return true;
    }
    bool found = false;
    for (const Element* e : c.UserControl().elements()) {
      if (!matches(*e, step)) continue;
      if (rest.empty()) {
        element(prefix, *e);
        found = true;
      } else if (e->kind() == ElementKind::ControlSlot) {
        const auto& slot = static_cast<const kyv::ControlSlot&>(*e);
        if (slot.control()) found = control(prefix + e->path() + ".", *slot.control(), rest) || found;
      }
    }
    return found;
  }
};

}  // namespace

bool dumpControl(std::ostream& out, const std::string& prefix, kyv::Control& control, std::string_view path) {
  return Dumper{out}.control(prefix, control, path);
}

}  // namespace kyvhost
