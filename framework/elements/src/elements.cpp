#include "kyv/elements.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <set>

#include "growth.h"
#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/palette.h"
#include "kyv/text.h"
#include "kyv/variant.h"
#include "look_record.h"

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

const std::string& sharedElementName(std::string_view name) {
  static std::mutex mutex;
  static std::set<std::string, std::less<>> names;
  const std::lock_guard lock(mutex);
  auto it = names.find(name);
  if (it == names.end()) it = names.emplace(name).first;
  return *it;
}

void checkColour(Colour c) {
  const uint32_t top = c.value & 0xFF000000u;
  if (top == 0) return;
  if (knownSystemColour(c)) return;
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", c.value);
  invalid(std::string("colour ") + buf + " is neither 0x00BBGGRR nor a known system colour");
}

// ---- Element ---------------------------------------------------------------------------

Element::Element(ElementKind kind, Container* parent, std::string_view name, int index)
    : kind_(kind), parent_(parent), name_(&sharedElementName(name)), index_(index) {
  attached_.value = true;
  look_.value = detail::kUnchanged;
  if (!parent) return;
  parent->attach(*this);
  Surface& s = surface();
  s.invalidate();
  if (!s.control().painted()) return;
  // Never painted: it showed nothing at the last paint.
  look_.value = detail::kMadeSincePaint;
  detail::append<Element*>(s.changed_, this);
}

Element::~Element() {
  if (look_.value == detail::kUnchanged || !parent_) return;
  Surface& s = surface();
  s.dropLook(*this);
  eraseFromBack(s.changed_, this);
}

std::string Element::path() const { return index_ < 0 ? *name_ : *name_ + "(" + std::to_string(index_) + ")"; }

void Element::setVisible(bool v) { change(visible_, v); }

void Element::touch() {
  Surface& s = surface();
  if (look_.value == detail::kUnchanged && s.control().painted()) {
    keepLook(s.newLook(*this));
    detail::append<Element*>(s.changed_, this);
  }
  s.invalidate();
}

void Element::keepLook(detail::LookRecord& look) const {
  look.visible = visible_;
  look.attached = attached_.value;
  look.restacked = false;
  look.erasedLines = false;
}

// ---- RectElement ----------------------------------------------------------------------

float RectElement::Left() const { return parent() ? parent()->toUnitsX(left_) : left_; }
float RectElement::Top() const { return parent() ? parent()->toUnitsY(top_) : top_; }
float RectElement::Width() const { return parent() ? parent()->sizeToUnitsX(width_) : width_; }
float RectElement::Height() const { return parent() ? parent()->sizeToUnitsY(height_) : height_; }

void RectElement::keepLook(detail::LookRecord& look) const {
  Element::keepLook(look);
  look.rect = {left_, top_, width_, height_};
}

void RectElement::setLeft(float v) {
  const float twips = parent() ? parent()->toTwipsX(v) : v;
  change(left_, twips);
}

void RectElement::setTop(float v) {
  const float twips = parent() ? parent()->toTwipsY(v) : v;
  change(top_, twips);
}

// A size written is a size change even when it is the same: what sizeChanged does (a box
// drops its drawn lines, a slot lays out its control) happens either way.
void RectElement::storeSize(float& slot, float twips) {
  if (twips < 0) invalid(path() + " size " + formatNumber(twips) + " is negative");
  if (twips != slot) {
    touch();
    slot = twips;
  }
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
  if (left != left_ || top != top_ || width != width_ || height != height_) {
    touch();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
  }
  sizeChanged();
}

// ---- Container ------------------------------------------------------------------------

Container::Container(ElementKind kind, Container* parent, std::string_view name, int index)
    : RectElement(kind, parent, name, index) {}

void Container::keepLook(detail::LookRecord& look) const {
  RectElement::keepLook(look);
  look.kind.box = {backColor_, borderStyle_, static_cast<uint32_t>(drawnLines().size())};
}

void Container::setBackColor(Colour c) {
  checkColour(c);
  clearLines();
  change(backColor_, c);
}

void Container::setBorderStyle(int16_t style) {
  checkBoxBorder(style);
  change(borderStyle_, style);
}

float Container::interiorWidth() const {
  return std::max(0.0f, widthTwips() - (borderStyle_ ? 2 * kBoxBorderTwips : 0.0f));
}

float Container::interiorHeight() const {
  return std::max(0.0f, heightTwips() - (borderStyle_ ? 2 * kBoxBorderTwips : 0.0f));
}

float Container::ScaleWidth() const { return userScaleWidth_ != 0 ? userScaleWidth_ : interiorWidth(); }
float Container::ScaleHeight() const { return userScaleHeight_ != 0 ? userScaleHeight_ : interiorHeight(); }

// The message is built only when the scale is refused: setting a scale allocates nothing.
static void checkScale(const Container& box, const char* axis, float v) {
  if (v != 0 && std::isfinite(v)) return;
  invalid(box.path() + "." + axis + " " + formatNumber(v) + (v == 0 ? " cannot be 0" : " is not a finite number"));
}

void Container::setScaleWidth(float v) {
  checkScale(*this, "ScaleWidth", v);
  userScaleWidth_ = v;
}

void Container::setScaleHeight(float v) {
  checkScale(*this, "ScaleHeight", v);
  userScaleHeight_ = v;
}

void Container::setScaleLeft(float v) { scaleLeft_ = v; }
void Container::setScaleTop(float v) { scaleTop_ = v; }

// A double as a Single; beyond the Single range it becomes an infinity.
static float single(double v) {
  constexpr double top = std::numeric_limits<float>::max();
  if (v > top) return std::numeric_limits<float>::infinity();
  if (v < -top) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

// Scale units and twips convert as units * interior / userScale in double precision,
// rounded to a Single once rather than after each step. Without a user scale a unit is a
// twip.
static float unitsToTwips(float units, float interior, float userScale) {
  if (userScale == 0) return units;
  return single(static_cast<double>(units) * interior / userScale);
}

static float twipsToUnits(float twips, float interior, float userScale) {
  if (userScale == 0) return twips;
  if (interior == 0) return 0.0f;
  return single(static_cast<double>(twips) * userScale / interior);
}

float Container::sizeToTwipsX(float u) const { return unitsToTwips(u, interiorWidth(), userScaleWidth_); }
float Container::sizeToTwipsY(float u) const { return unitsToTwips(u, interiorHeight(), userScaleHeight_); }
float Container::sizeToUnitsX(float t) const { return twipsToUnits(t, interiorWidth(), userScaleWidth_); }
float Container::sizeToUnitsY(float t) const { return twipsToUnits(t, interiorHeight(), userScaleHeight_); }

float Container::toTwipsX(float u) const { return sizeToTwipsX(u - scaleLeft_); }
float Container::toTwipsY(float u) const { return sizeToTwipsY(u - scaleTop_); }
float Container::toUnitsX(float t) const { return scaleLeft_ + sizeToUnitsX(t); }
float Container::toUnitsY(float t) const { return scaleTop_ + sizeToUnitsY(t); }

// Asks for a repaint even when there is nothing to clear: a host that paints then finds
// no damage and paints nothing.
void Container::Refresh() {
  clearLines();
  surface().invalidate();
}

void Container::Line(float x1, float y1, float x2, float y2, Colour colour) {
  checkColour(colour);
  touch();
  if (!lines_.value) lines_.value = std::make_unique<std::vector<DrawnLine>>();
  lines_.value->push_back({toTwipsX(x1), toTwipsY(y1), toTwipsX(x2), toTwipsY(y2), colour});
}

void Container::reserveLines(size_t n) {
  const std::vector<DrawnLine>& now = drawnLines();
  const size_t room = std::max(n, now.size());
  if (now.capacity() == room) return;
  auto lines = std::make_unique<std::vector<DrawnLine>>();
  lines->reserve(room);
  lines->assign(now.begin(), now.end());
  lines_.value = std::move(lines);
}

const std::vector<DrawnLine> Container::kNoLines;

// The painted ones among the lines cleared are kept as the rectangle that holds them.
void Container::clearLines() {
  if (drawnLines().empty()) return;
  std::vector<DrawnLine>& lines = *lines_.value;
  touch();
  detail::LookRecord* look = surface().lookOf(*this);
  if (look && look->kind.box.lines > 0) {
    detail::ErasedLines& erased = surface().erasedLinesOf(*look);
    for (size_t i = 0; i < look->kind.box.lines; ++i) erased.include(lines[i]);
    look->kind.box.lines = 0;
  }
  lines.clear();
}

void Container::sizeChanged() { clearLines(); }

// A child that changes place in the stacking order may now show where it was hidden.
void Container::restack(Element& child) {
  child.touch();
  if (detail::LookRecord* look = surface().lookOf(child)) look->restacked = true;
}

void Container::bringToFront(Element& child) {
  if (!stacking_.empty() && stacking_.back() == &child) return;
  restack(child);
  eraseFromBack(stacking_, &child);
  stacking_.push_back(&child);
}

void Container::sendToBack(Element& child) {
  if (!stacking_.empty() && stacking_.front() == &child) return;
  restack(child);
  eraseFromBack(stacking_, &child);
  stacking_.insert(stacking_.begin(), &child);
}

void Container::placeInFrontOf(Element& child, const Element& other) {
  // Searched from the front of the stacking order, where recently placed elements lie.
  auto at = std::find(stacking_.rbegin(), stacking_.rend(), &child);
  if (at != stacking_.rend() && std::next(at) != stacking_.rend() && *std::next(at) == &other) return;
  restack(child);
  eraseFromBack(stacking_, &child);
  auto it = std::find(stacking_.rbegin(), stacking_.rend(), &other);
  if (it == stacking_.rend())
    stacking_.push_back(&child);
  else
    stacking_.insert(it.base(), &child);
}

void Container::attach(Element& child) {
  child.attached_.value = true;
  detail::append(stacking_, &child);
  detail::append(surface().elements_, &child);
}

void Container::detach(Element& child) {
  child.attached_.value = false;
  eraseFromBack(stacking_, &child);
  eraseFromBack(surface().elements_, &child);
}

// ---- Surface, PictureBox ----------------------------------------------------------------

Surface::Surface(Control& owner) : Container(ElementKind::Surface, nullptr, "UserControl", -1), owner_(owner) {}

Surface::~Surface() = default;

// Records are reused from paint to paint, so that steady changes allocate nothing.
detail::LookRecord& Surface::newLook(Element& e) {
  if (looksUsed_ == looks_.size()) detail::append(looks_, {});
  e.look_.value = looksUsed_;
  detail::LookRecord& look = looks_[looksUsed_++];
  look.element = &e;
  return look;
}

detail::SideLooks& Surface::sideLooks() {
  if (!side_) side_ = std::make_unique<detail::SideLooks>();
  return *side_;
}

detail::LabelLook& Surface::newLabelLook(detail::LookRecord& look) {
  detail::SideLooks& side = sideLooks();
  if (side.labelsUsed == side.labels.size()) side.labels.emplace_back();
  look.kind.label = side.labelsUsed;
  return side.labels[side.labelsUsed++];
}

// A label made since the paint has no record and showed nothing.
const detail::LabelLook& Surface::labelLookOf(const detail::LookRecord& look) const {
  static const detail::LabelLook nothing;
  return look.element ? side_->labels[look.kind.label] : nothing;
}

detail::LookRecord* Surface::lookOf(const Element& e) {
  return e.look_.value < looksUsed_ ? &looks_[e.look_.value] : nullptr;
}

detail::ErasedLines& Surface::erasedLinesOf(detail::LookRecord& look) {
  std::vector<detail::ErasedLook>& erased = sideLooks().erased;
  if (look.erasedLines)
    for (detail::ErasedLook& e : erased)
      if (e.box == look.element) return e.lines;
  look.erasedLines = true;
  erased.push_back({look.element, {}});
  return erased.back().lines;
}

const detail::ErasedLines* Surface::erasedLinesOf(const detail::LookRecord& look) const {
  if (!look.erasedLines) return nullptr;
  for (const detail::ErasedLook& e : side_->erased)
    if (e.box == look.element) return &e.lines;
  return nullptr;
}

// The last record in use takes the place of the one let go.
void Surface::dropLook(const Element& e) {
  const uint32_t at = e.look_.value;
  if (at >= looksUsed_) return;
  if (looks_[at].erasedLines) std::erase_if(side_->erased, [&](const detail::ErasedLook& x) { return x.box == &e; });
  const uint32_t last = --looksUsed_;
  if (at == last) return;
  std::swap(looks_[at], looks_[last]);
  looks_[at].element->look_.value = at;
}

void Surface::invalidate() const { owner_.invalidate(); }

PictureBox::PictureBox(Container& parent, std::string_view name, int index)
    : Container(ElementKind::PictureBox, &parent, name, index) {}

PictureBox& PictureBox::operator=(const PictureBox& other) {
  if (this == &other) return *this;
  // Settings only: the copy keeps its own children and starts with nothing drawn.
  touch();
  clearLines();
  auto stacking = std::move(stacking_);
  Container::operator=(other);
  stacking_ = std::move(stacking);
  return *this;
}

// ---- Label ------------------------------------------------------------------------------

Label::Label(Container& parent, std::string_view name, int index)
    : RectElement(ElementKind::Label, &parent, name, index) {}

void Label::keepLook(detail::LookRecord& look) const {
  RectElement::keepLook(look);
  detail::LabelLook& p = surface().newLabelLook(look);
  p.caption.assign(caption_);
  p.fontName.assign(fontName_);
  p.fontSize = fontSize_;
  p.fontWeight = fontWeight_;
  p.alignment = alignment_;
  p.foreColor = foreColor_;
}

void Label::setCaption(std::string_view text) {
  if (text != caption_) {
    touch();
    caption_.assign(text);
  }
  if (autoSize_) fitToCaption();
}

void Label::setAutoSize(bool on) {
  autoSize_ = on;
  if (on) fitToCaption();
}

void Label::setAlignment(int16_t a) {
  if (a < 0 || a > 2) invalid("Alignment " + std::to_string(a) + " is not 0, 1 or 2");
  change(alignment_, a);
}

void Label::setForeColor(Colour c) {
  checkColour(c);
  change(foreColor_, c);
}

void Label::setFont(std::string family, int weight, float points) {
  if (points <= 0) invalid("font size " + formatNumber(points) + " is not positive");
  if (family != fontName_ || weight != fontWeight_ || points != fontSize_) {
    touch();
    fontName_ = std::move(family);
    fontWeight_ = weight;
    fontSize_ = points;
  }
  if (autoSize_) fitToCaption();
}

void Label::fitToCaption() {
  const TextSize size = measureText(caption_, fontName_, fontWeight_, fontSize_);
  setRectTwips(leftTwips(), topTwips(), size.width, size.height);
}

// ---- Line -------------------------------------------------------------------------------

LineElement::LineElement(Container& parent, std::string_view name, int index)
    : Element(ElementKind::Line, &parent, name, index) {}

float LineElement::X1() const { return parent()->toUnitsX(x1_); }
float LineElement::Y1() const { return parent()->toUnitsY(y1_); }
float LineElement::X2() const { return parent()->toUnitsX(x2_); }
float LineElement::Y2() const { return parent()->toUnitsY(y2_); }

void LineElement::keepLook(detail::LookRecord& look) const {
  Element::keepLook(look);
  look.ends = {x1_, y1_, x2_, y2_};
  look.kind.line = {colour_, style_, width_};
}

void LineElement::setEnd(float& end, float twips) { change(end, twips); }

void LineElement::setX1(float v) { setEnd(x1_, parent()->toTwipsX(v)); }
void LineElement::setY1(float v) { setEnd(y1_, parent()->toTwipsY(v)); }
void LineElement::setX2(float v) { setEnd(x2_, parent()->toTwipsX(v)); }
void LineElement::setY2(float v) { setEnd(y2_, parent()->toTwipsY(v)); }

void LineElement::setBorderColor(Colour c) {
  checkColour(c);
  change(colour_, c);
}

void LineElement::setBorderStyle(int16_t s) {
  if (s < 0 || s > 6) invalid("line BorderStyle " + std::to_string(s) + " is not 0 to 6");
  change(style_, s);
}

void LineElement::setBorderWidth(int16_t w) {
  if (w < 1) invalid("BorderWidth " + std::to_string(w) + " is less than 1");
  change(width_, w);
}

// ---- Shape, Image -----------------------------------------------------------------------

Shape::Shape(Container& parent, std::string_view name, int index)
    : RectElement(ElementKind::Shape, &parent, name, index) {}

void Shape::keepLook(detail::LookRecord& look) const {
  RectElement::keepLook(look);
  look.kind.shape = {fill_, border_, borderStyle_};
}

void Shape::setFillColor(Colour c) {
  checkColour(c);
  change(fill_, c);
}

void Shape::setBorderColor(Colour c) {
  checkColour(c);
  change(border_, c);
}

void Shape::setBorderStyle(int16_t s) {
  checkBoxBorder(s);
  change(borderStyle_, s);
}

Image::Image(Container& parent, std::string_view name, int index)
    : RectElement(ElementKind::Image, &parent, name, index) {}

void Image::keepLook(detail::LookRecord& look) const {
  RectElement::keepLook(look);
  look.kind.imageBorder = borderStyle_;
}

void Image::setBorderStyle(int16_t s) {
  checkBoxBorder(s);
  change(borderStyle_, s);
}

// ---- ControlSlot ------------------------------------------------------------------------

ControlSlot::ControlSlot(Container& parent, std::string_view name, int index)
    : RectElement(ElementKind::ControlSlot, &parent, name, index) {}

ControlSlot::~ControlSlot() = default;

void ControlSlot::keepLook(detail::LookRecord& look) const {
  RectElement::keepLook(look);
  look.kind.slot = {placed_, control_ != nullptr};
}

// The embedded control reports its changes to the slot, not to a site.
void ControlSlot::setControl(ControlPtr control) {
  touch();
  if (control_) control_->embedIn(nullptr);
  control_ = std::move(control);
  ++placed_;
  if (!control_) return;
  control_->embedIn(this);
  control_->setExtent(widthTwips(), heightTwips());
}

void ControlSlot::contentChanged() { touch(); }

void ControlSlot::sizeChanged() {
  if (control_) control_->setExtent(widthTwips(), heightTwips());
}

}  // namespace kyv
