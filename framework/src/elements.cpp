#include "kyv/elements.h"

#include <algorithm>

#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/render.h"
#include "kyv/site.h"
#include "kyv/variant.h"

namespace kyv {
namespace {

[[noreturn]] void invalid(const std::string& what) {
  raise(ErrorKind::InvalidPropertyValue, "Invalid property value: " + what);
}

void checkBoxBorder(int16_t style) {
  if (style != 0 && style != 1) invalid("BorderStyle " + std::to_string(style) + " is not 0 or 1");
}

void eraseFromBack(std::vector<Element*>& list, Element* e) {
  auto it = std::find(list.rbegin(), list.rend(), e);
  if (it != list.rend()) list.erase(std::next(it).base());
}

}  // namespace

void checkColour(Colour c) {
  const uint32_t top = c.value & 0xFF000000u;
  if (top == 0) return;
  if (top == 0x80000000u && (c.value & 0x00FFFFFFu) < systemPalette().size()) return;
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", c.value);
  invalid(std::string("colour ") + buf + " is neither 0x00BBGGRR nor a known system colour");
}

// ---- Element ---------------------------------------------------------------------------

Element::Element(ElementKind kind, Container* parent, std::string name, int index)
    : kind_(kind),
      parent_(parent),
      surface_(parent ? &parent->surface() : nullptr),
      name_(std::move(name)),
      index_(index) {
  if (parent) parent->attach(*this);
}

Element::~Element() = default;

std::string Element::path() const {
  return index_ < 0 ? name_ : name_ + "(" + std::to_string(index_) + ")";
}

void Element::setVisible(bool v) {
  visible_ = v;
  changed();
}

void Element::changed() const { surface_->invalidate(); }

// ---- RectElement ----------------------------------------------------------------------

float RectElement::Left() const { return parent() ? parent()->toUnitsX(left_) : left_; }
float RectElement::Top() const { return parent() ? parent()->toUnitsY(top_) : top_; }
float RectElement::Width() const { return parent() ? parent()->sizeToUnitsX(width_) : width_; }
float RectElement::Height() const { return parent() ? parent()->sizeToUnitsY(height_) : height_; }

void RectElement::setLeft(float v) {
  left_ = parent() ? parent()->toTwipsX(v) : v;
  changed();
}

void RectElement::setTop(float v) {
  top_ = parent() ? parent()->toTwipsY(v) : v;
  changed();
}

void RectElement::storeSize(float& slot, float twips) {
  if (twips < 0) invalid(path() + " size " + formatNumber(twips) + " is negative");
  slot = twips;
  changed();
  sizeChanged();
}

void RectElement::setWidth(float v) {
  if (v < 0) invalid(path() + ".Width " + formatNumber(v) + " is negative");
  storeSize(width_, parent() ? parent()->sizeToTwipsX(v) : v);
}

void RectElement::setHeight(float v) {
  if (v < 0) invalid(path() + ".Height " + formatNumber(v) + " is negative");
  storeSize(height_, parent() ? parent()->sizeToTwipsY(v) : v);
}

void RectElement::setRectTwips(float left, float top, float width, float height) {
  if (width < 0 || height < 0) invalid(path() + " size is negative");
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  changed();
  sizeChanged();
}

// ---- Container ------------------------------------------------------------------------

Container::Container(ElementKind kind, Container* parent, std::string name, int index)
    : RectElement(kind, parent, std::move(name), index) {}

void Container::setBackColor(Colour c) {
  checkColour(c);
  backColor_ = c;
  segments_.clear();
  changed();
}

void Container::setBorderStyle(int16_t style) {
  checkBoxBorder(style);
  borderStyle_ = style;
  changed();
}

float Container::interiorWidth() const {
  return std::max(0.0f, widthTwips() - (borderStyle_ ? 2 * kBoxBorderTwips : 0.0f));
}

float Container::interiorHeight() const {
  return std::max(0.0f, heightTwips() - (borderStyle_ ? 2 * kBoxBorderTwips : 0.0f));
}

float Container::ScaleWidth() const { return userScaleWidth_ != 0 ? userScaleWidth_ : interiorWidth(); }
float Container::ScaleHeight() const { return userScaleHeight_ != 0 ? userScaleHeight_ : interiorHeight(); }

void Container::setScaleWidth(float v) {
  if (v == 0) invalid(path() + ".ScaleWidth cannot be 0");
  userScaleWidth_ = v;
}

void Container::setScaleHeight(float v) {
  if (v == 0) invalid(path() + ".ScaleHeight cannot be 0");
  userScaleHeight_ = v;
}

void Container::setScaleLeft(float v) { scaleLeft_ = v; }
void Container::setScaleTop(float v) { scaleTop_ = v; }

// Twips per scale unit on each axis; 1 without a user scale.
static float factor(float interior, float userScale) {
  return userScale != 0 ? interior / userScale : 1.0f;
}

float Container::sizeToTwipsX(float u) const { return u * factor(interiorWidth(), userScaleWidth_); }
float Container::sizeToTwipsY(float u) const { return u * factor(interiorHeight(), userScaleHeight_); }

float Container::sizeToUnitsX(float t) const {
  const float f = factor(interiorWidth(), userScaleWidth_);
  return f != 0 ? t / f : 0.0f;
}

float Container::sizeToUnitsY(float t) const {
  const float f = factor(interiorHeight(), userScaleHeight_);
  return f != 0 ? t / f : 0.0f;
}

float Container::toTwipsX(float u) const { return sizeToTwipsX(u - scaleLeft_); }
float Container::toTwipsY(float u) const { return sizeToTwipsY(u - scaleTop_); }
float Container::toUnitsX(float t) const { return scaleLeft_ + sizeToUnitsX(t); }
float Container::toUnitsY(float t) const { return scaleTop_ + sizeToUnitsY(t); }

void Container::Refresh() {
  segments_.clear();
  changed();
}

void Container::Line(float x1, float y1, float x2, float y2, Colour colour) {
  checkColour(colour);
  segments_.push_back({toTwipsX(x1), toTwipsY(y1), toTwipsX(x2), toTwipsY(y2), colour});
  changed();
}

void Container::sizeChanged() { segments_.clear(); }

void Container::bringToFront(Element& child) {
  eraseFromBack(stacking_, &child);
  stacking_.push_back(&child);
  changed();
}

void Container::sendToBack(Element& child) {
  eraseFromBack(stacking_, &child);
  stacking_.insert(stacking_.begin(), &child);
  changed();
}

void Container::placeInFrontOf(Element& child, const Element& other) {
  eraseFromBack(stacking_, &child);
  // Searched from the front of the stacking order, where recently placed elements lie.
  auto it = std::find(stacking_.rbegin(), stacking_.rend(), &other);
  if (it == stacking_.rend()) stacking_.push_back(&child);
  else stacking_.insert(it.base(), &child);
  changed();
}

void Container::attach(Element& child) {
  stacking_.push_back(&child);
  surface().elements_.push_back(&child);
}

void Container::detach(Element& child) {
  eraseFromBack(stacking_, &child);
  eraseFromBack(surface().elements_, &child);
}

// ---- Surface, PictureBox ----------------------------------------------------------------

Surface::Surface(Control& owner) : Container(ElementKind::Surface, nullptr, "UserControl", -1), owner_(owner) {
  surface_ = this;
}

void Surface::invalidate() const { owner_.invalidate(); }

PictureBox::PictureBox(Container& parent, std::string name, int index)
    : Container(ElementKind::PictureBox, &parent, std::move(name), index) {}

PictureBox& PictureBox::operator=(const PictureBox& other) {
  if (this == &other) return *this;
  // Settings only: the copy keeps its own children and starts with nothing drawn.
  auto stacking = std::move(stacking_);
  Container::operator=(other);
  stacking_ = std::move(stacking);
  segments_.clear();
  return *this;
}

// ---- Label ------------------------------------------------------------------------------

Label::Label(Container& parent, std::string name, int index)
    : RectElement(ElementKind::Label, &parent, std::move(name), index) {}

void Label::setCaption(std::string_view text) {
  caption_.assign(text);
  if (autoSize_) fitToCaption();
  changed();
}

void Label::setAutoSize(bool on) {
  autoSize_ = on;
  if (on) fitToCaption();
  changed();
}

void Label::setAlignment(int16_t a) {
  if (a < 0 || a > 2) invalid("Alignment " + std::to_string(a) + " is not 0, 1 or 2");
  alignment_ = a;
  changed();
}

void Label::setForeColor(Colour c) {
  checkColour(c);
  foreColor_ = c;
  changed();
}

void Label::setFont(std::string family, int weight, float points) {
  if (points <= 0) invalid("font size " + formatNumber(points) + " is not positive");
  fontName_ = std::move(family);
  fontWeight_ = weight;
  fontSize_ = points;
  if (autoSize_) fitToCaption();
  changed();
}

void Label::fitToCaption() {
  const TextSize size = measureText(caption_, fontName_, fontWeight_, fontSize_);
  setRectTwips(leftTwips(), topTwips(), size.width, size.height);
}

// ---- Line -------------------------------------------------------------------------------

LineElement::LineElement(Container& parent, std::string name, int index)
    : Element(ElementKind::Line, &parent, std::move(name), index) {}

float LineElement::X1() const { return parent()->toUnitsX(x1_); }
float LineElement::Y1() const { return parent()->toUnitsY(y1_); }
float LineElement::X2() const { return parent()->toUnitsX(x2_); }
float LineElement::Y2() const { return parent()->toUnitsY(y2_); }

void LineElement::setX1(float v) {
  x1_ = parent()->toTwipsX(v);
  changed();
}

void LineElement::setY1(float v) {
  y1_ = parent()->toTwipsY(v);
  changed();
}

void LineElement::setX2(float v) {
  x2_ = parent()->toTwipsX(v);
  changed();
}

void LineElement::setY2(float v) {
  y2_ = parent()->toTwipsY(v);
  changed();
}

void LineElement::setBorderColor(Colour c) {
  checkColour(c);
  colour_ = c;
  changed();
}

void LineElement::setBorderStyle(int16_t s) {
  if (s < 0 || s > 6) invalid("line BorderStyle " + std::to_string(s) + " is not 0 to 6");
  style_ = s;
  changed();
}

void LineElement::setBorderWidth(int16_t w) {
  if (w < 1) invalid("BorderWidth " + std::to_string(w) + " is less than 1");
  width_ = w;
  changed();
}

// ---- Shape, Image -----------------------------------------------------------------------

Shape::Shape(Container& parent, std::string name, int index)
    : RectElement(ElementKind::Shape, &parent, std::move(name), index) {}

void Shape::setFillColor(Colour c) {
  checkColour(c);
  fill_ = c;
  changed();
}

void Shape::setBorderColor(Colour c) {
  checkColour(c);
  border_ = c;
  changed();
}

void Shape::setBorderStyle(int16_t s) {
  checkBoxBorder(s);
  borderStyle_ = s;
  changed();
}

Image::Image(Container& parent, std::string name, int index)
    : RectElement(ElementKind::Image, &parent, std::move(name), index) {}

void Image::setBorderStyle(int16_t s) {
  checkBoxBorder(s);
  borderStyle_ = s;
  changed();
}

// ---- ControlSlot ------------------------------------------------------------------------

namespace {
// Forwards an embedded control's repaint requests to the control that holds it.
class SlotSite final : public Site {
 public:
  explicit SlotSite(Surface& host) : host_(host) {}
  void invalidated(Control&) override { host_.invalidate(); }

 private:
  Surface& host_;
};
}  // namespace

ControlSlot::ControlSlot(Container& parent, std::string name, int index)
    : RectElement(ElementKind::ControlSlot, &parent, std::move(name), index) {}

ControlSlot::~ControlSlot() = default;

void ControlSlot::setControl(ControlPtr control) {
  control_ = std::move(control);
  if (!control_) return;
  if (!site_) site_ = std::make_unique<SlotSite>(surface());
  control_->setSite(site_.get());
  control_->setExtent(widthTwips(), heightTwips());
  changed();
}

void ControlSlot::sizeChanged() {
  if (control_) control_->setExtent(widthTwips(), heightTwips());
}

}  // namespace kyv
