#pragma once
// The retained element tree a control draws with: a surface (the UserControl), picture
// boxes that contain further elements, labels, lines, rectangle shapes, image frames and
// slots that embed another control. Geometry is Single twips, stored exactly as written,
// in the interior coordinates of the container; a container with a user scale converts
// positions and sizes written or read through it at that moment.
//
// Once its control has been painted, the first change to an element after the last paint
// records how the element looked then, with its surface, and puts the element on the
// surface's list of changed elements, from which the renderer works out which pixels
// changed. A write that changes nothing records nothing; before the first paint nothing is
// recorded, every pixel being damage. Those records are the framework's own.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kyv/export.h"
#include "kyv/variant.h"

namespace kyv {

class Container;
class Surface;
class Control;
class Site;
namespace detail {
struct Tracker;
struct LookRecord;
struct LabelLook;
struct ErasedLook;
struct ErasedLines;
struct SideLooks;
}  // namespace detail

// State that belongs to one element object and never goes with a copy of its settings
// (ElementArray::Load copies the first member's settings into a new one).
template <class T>
struct NotCopied {
  T value{};
  NotCopied() = default;
  NotCopied(const NotCopied&) {}
  NotCopied& operator=(const NotCopied&) { return *this; }
};

enum class ElementKind : uint8_t { Surface, PictureBox, Label, Line, Shape, Image, ControlSlot };

// Border of a box or the surface: a 2-pixel sunken edge at the reference 15 twips per pixel.
inline constexpr float kBoxBorderTwips = 30.0f;

// Raises invalid-property-value for colours that are neither 0x00BBGGRR nor a known
// system colour 0x800000nn.
KYV_API void checkColour(Colour c);

// Element names are few and repeat in every instance of a control: each is kept once for
// the life of the process, and this is that copy of `name`.
KYV_API const std::string& sharedElementName(std::string_view name);

class KYV_API Element {
 public:
  virtual ~Element();
  ElementKind kind() const { return kind_; }
  const std::string& name() const { return *name_; }
  int index() const { return index_; }  // -1 for an element outside any array
  std::string path() const;             // "BarSeg(1)" or "holdbar"
  Container* parent() const { return parent_; }
  // The surface at the root of the element's tree.
  Surface& surface() const;

  bool Visible() const { return visible_; }
  void setVisible(bool v);

 protected:
  Element(ElementKind kind, Container* parent, std::string_view name, int index);
  Element(const Element&) = default;
  Element& operator=(const Element&) = default;
  // Call before changing anything the element shows: the first change after a paint
  // records the element's look (keepLook) and lists it as changed; every change
  // invalidates the owning control.
  void touch();
  // A setter's store: `field` takes `value` when they differ, touched first; an equal
  // value changes nothing.
  template <class T>
  void change(T& field, const T& value) {
    if (field == value) return;
    touch();
    field = value;
  }
  // Copies what the element shows into `look`, its record of the last paint.
  virtual void keepLook(detail::LookRecord& look) const;

 private:
  template <class T>
  friend class ElementArray;
  friend class Surface;
  friend class Container;
  friend struct detail::Tracker;
  ElementKind kind_;
  bool visible_ = true;
  NotCopied<bool> attached_;    // in its container's stacking order
  NotCopied<bool> designTime_;  // made by its array's create, not by Load
  // Which of its surface's look records is the element's while it is listed as changed.
  NotCopied<uint32_t> look_;
  Container* parent_;
  const std::string* name_;  // shared by every element of that name
  int index_;
};

// An element with a rectangle: Left, Top, Width, Height in the container's scale.
class KYV_API RectElement : public Element {
 public:
  float Left() const;
  void setLeft(float v);
  float Top() const;
  void setTop(float v);
  float Width() const;
  void setWidth(float v);  // negative raises invalid-property-value
  float Height() const;
  void setHeight(float v);  // negative raises invalid-property-value

  // Geometry in twips of the container's interior, whatever scale is in force.
  float leftTwips() const { return left_; }
  float topTwips() const { return top_; }
  float widthTwips() const { return width_; }
  float heightTwips() const { return height_; }
  void setRectTwips(float left, float top, float width, float height);

 protected:
  using Element::Element;
  RectElement(const RectElement&) = default;
  RectElement& operator=(const RectElement&) = default;
  virtual void sizeChanged() {}
  void keepLook(detail::LookRecord& look) const override;

 private:
  void storeSize(float& slot, float twips);
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

// A line drawn on a box with its Line method, in twips of the box's interior.
struct DrawnLine {
  float x1, y1, x2, y2;
  Colour colour;
  bool operator==(const DrawnLine& o) const {
    return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2 && colour == o.colour;
  }
  bool operator!=(const DrawnLine& o) const { return !(*this == o); }
};

// A box that holds further elements: the surface and picture boxes.
class KYV_API Container : public RectElement {
 public:
  Colour BackColor() const { return backColor_; }
  void setBackColor(Colour c);  // also clears drawn lines
  int16_t BorderStyle() const { return borderStyle_; }
  void setBorderStyle(int16_t style);  // 0 none, 1 fixed single; else invalid-property-value

  // Interior size in scale units; writing sets a user scale on that axis, which stays in
  // force when the box is resized (0 or a non-finite value raises invalid-property-value).
  // Children keep their twips: a new scale moves nothing, it changes what reads return.
  float ScaleWidth() const;
  void setScaleWidth(float v);
  float ScaleHeight() const;
  void setScaleHeight(float v);
  float ScaleLeft() const { return scaleLeft_; }
  void setScaleLeft(float v);
  float ScaleTop() const { return scaleTop_; }
  void setScaleTop(float v);

  // Clears the drawn lines and asks for a repaint.
  void Refresh();
  // Adds a drawn line, coordinates in scale units.
  void Line(float x1, float y1, float x2, float y2, Colour colour);
  const std::vector<DrawnLine>& drawnLines() const { return lines_.value ? *lines_.value : kNoLines; }
  // Keeps room for `n` drawn lines, or for those there are when more: drawing up to that
  // many allocates nothing, and no more room than that is kept.
  void reserveLines(size_t n);

  float interiorWidth() const;   // twips
  float interiorHeight() const;  // twips
  // Conversions between this container's scale units and twips of its interior.
  float toTwipsX(float units) const;
  float toTwipsY(float units) const;
  float toUnitsX(float twips) const;
  float toUnitsY(float twips) const;
  float sizeToTwipsX(float units) const;
  float sizeToTwipsY(float units) const;
  float sizeToUnitsX(float twips) const;
  float sizeToUnitsY(float twips) const;

  // Children back to front.
  const std::vector<Element*>& stacking() const { return stacking_; }
  void bringToFront(Element& child);
  void sendToBack(Element& child);
  // Moves `child` directly in front of `other`; to the front when `other` is not a child.
  void placeInFrontOf(Element& child, const Element& other);

 protected:
  Container(ElementKind kind, Container* parent, std::string_view name, int index);
  Container(const Container&) = default;
  Container& operator=(const Container&) = default;
  void sizeChanged() override;
  void keepLook(detail::LookRecord& look) const override;

 private:
  friend class Element;
  friend class PictureBox;
  template <class T>
  friend class ElementArray;
  friend struct detail::Tracker;
  void attach(Element& child);
  void detach(Element& child);
  void restack(Element& child);
  // Drops the drawn lines; those painted are kept until the next paint, whose damage
  // holds their pixels.
  void clearLines();
  static const std::vector<DrawnLine> kNoLines;
  Colour backColor_{0x8000000F};
  int16_t borderStyle_ = 0;
  float scaleLeft_ = 0, scaleTop_ = 0;
  float userScaleWidth_ = 0, userScaleHeight_ = 0;  // 0 = no user scale on that axis
  std::vector<Element*> stacking_;
  // Most boxes never draw a line: the list is made at the first and is never copied.
  NotCopied<std::unique_ptr<std::vector<DrawnLine>>> lines_;
};

// The control's own surface. Its Width and Height are the control's extent.
class KYV_API Surface : public Container {
 public:
  explicit Surface(Control& owner);
  ~Surface() override;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  Control& control() const { return owner_; }
  // Every element of the control in creation order (the surface itself not included).
  const std::vector<Element*>& elements() const { return elements_; }
  // Elements changed since the control was last painted, in the order of their first
  // change; none before the first paint.
  const std::vector<Element*>& changedElements() const { return changed_; }
  void invalidate() const;

 private:
  friend class Element;
  friend class Container;
  friend class Label;
  template <class T>
  friend class ElementArray;
  friend struct detail::Tracker;
  // A record for `e`, changed for the first time since it was painted.
  detail::LookRecord& newLook(Element& e);
  // The record of `e`, or null when it has none (unchanged, or made since the paint).
  detail::LookRecord* lookOf(const Element& e);
  // Lets go of the record of `e`, which is going away.
  void dropLook(const Element& e);
  // The side records, made when the first is needed: few surfaces have labels or boxes
  // with drawn lines.
  detail::SideLooks& sideLooks();
  // A label's caption and font at the paint, kept apart from its record `look`.
  detail::LabelLook& newLabelLook(detail::LookRecord& look);
  const detail::LabelLook& labelLookOf(const detail::LookRecord& look) const;
  // The rectangle holding the painted lines that the box of record `look` cleared since the
  // paint: the first form makes it when there is none yet, the second gives null then.
  detail::ErasedLines& erasedLinesOf(detail::LookRecord& look);
  const detail::ErasedLines* erasedLinesOf(const detail::LookRecord& look) const;
  Control& owner_;
  std::vector<Element*> elements_;
  std::vector<Element*> changed_;
  // The first looksUsed_ records are in use; the rest are kept to be reused.
  std::vector<detail::LookRecord> looks_;
  std::unique_ptr<detail::SideLooks> side_;
  uint32_t looksUsed_ = 0;
};

// Boxes nest a few deep: the surface is found by walking up, not kept in every element.
inline Surface& Element::surface() const {
  const Element* e = this;
  while (e->parent_) e = e->parent_;
  return static_cast<Surface&>(const_cast<Element&>(*e));
}

class KYV_API PictureBox : public Container {
 public:
  PictureBox(Container& parent, std::string_view name, int index = -1);
  PictureBox(const PictureBox&) = default;
  PictureBox& operator=(const PictureBox&);  // copies settings, never drawn lines
};

class KYV_API Label : public RectElement {
 public:
  Label(Container& parent, std::string_view name, int index = -1);
  Label(const Label&) = default;
  Label& operator=(const Label&) = default;

  const std::string& Caption() const { return caption_; }
  void setCaption(std::string_view text);  // an auto-sizing label measures it at once
  bool AutoSize() const { return autoSize_; }
  void setAutoSize(bool on);
  int16_t Alignment() const { return alignment_; }  // 0 left, 1 right, 2 centre
  void setAlignment(int16_t a);
  Colour ForeColor() const { return foreColor_; }
  void setForeColor(Colour c);
  // Font: fontconfig family, weight (400 regular, 700 bold) and size in points.
  const std::string& FontName() const { return fontName_; }
  int FontWeight() const { return fontWeight_; }
  float FontSize() const { return fontSize_; }
  void setFont(std::string family, int weight, float points);

 protected:
  void keepLook(detail::LookRecord& look) const override;

 private:
  void fitToCaption();
  std::string caption_;
  std::string fontName_ = "Liberation Sans";
  float fontSize_ = 8.25f;
  int fontWeight_ = 400;
  bool autoSize_ = false;
  int16_t alignment_ = 0;
  Colour foreColor_{0x80000012};
};

class KYV_API LineElement : public Element {
 public:
  LineElement(Container& parent, std::string_view name, int index = -1);
  LineElement(const LineElement&) = default;
  LineElement& operator=(const LineElement&) = default;

  // End points in the container's scale units.
  float X1() const;
  void setX1(float v);
  float Y1() const;
  void setY1(float v);
  float X2() const;
  void setX2(float v);
  float Y2() const;
  void setY2(float v);
  float x1Twips() const { return x1_; }
  float y1Twips() const { return y1_; }
  float x2Twips() const { return x2_; }
  float y2Twips() const { return y2_; }

  Colour BorderColor() const { return colour_; }
  void setBorderColor(Colour c);
  // 0 transparent, 1 solid, 2 dash, 3 dot, 4 dash-dot, 5 dash-dot-dot, 6 inside solid.
  int16_t BorderStyle() const { return style_; }
  void setBorderStyle(int16_t s);
  int16_t BorderWidth() const { return width_; }  // pixels, at least 1
  void setBorderWidth(int16_t w);

 protected:
  void keepLook(detail::LookRecord& look) const override;

 private:
  void setEnd(float& end, float twips);
  float x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
  Colour colour_{0x80000008};
  int16_t style_ = 1;
  int16_t width_ = 1;
};

// A filled rectangle.
class KYV_API Shape : public RectElement {
 public:
  Shape(Container& parent, std::string_view name, int index = -1);
  Shape(const Shape&) = default;
  Shape& operator=(const Shape&) = default;
  Colour FillColor() const { return fill_; }
  void setFillColor(Colour c);
  Colour BorderColor() const { return border_; }
  void setBorderColor(Colour c);
  int16_t BorderStyle() const { return borderStyle_; }  // 0 no outline, 1 solid outline
  void setBorderStyle(int16_t s);

 protected:
  void keepLook(detail::LookRecord& look) const override;

 private:
  Colour fill_{0x00000000};
  Colour border_{0x80000008};
  int16_t borderStyle_ = 0;
};

// An image frame; it shows no picture here, only its optional 1-pixel border.
class KYV_API Image : public RectElement {
 public:
  Image(Container& parent, std::string_view name, int index = -1);
  Image(const Image&) = default;
  Image& operator=(const Image&) = default;
  int16_t BorderStyle() const { return borderStyle_; }
  void setBorderStyle(int16_t s);  // 0 or 1, else invalid-property-value

 protected:
  void keepLook(detail::LookRecord& look) const override;

 private:
  int16_t borderStyle_ = 0;
};

struct ControlDeleter {
  KYV_API void operator()(Control* c) const;
};
using ControlPtr = std::unique_ptr<Control, ControlDeleter>;

// A slot holding another control of the family. Its size is the embedded control's
// extent: changing it resizes that control (which runs its Resize).
class KYV_API ControlSlot : public RectElement {
 public:
  ControlSlot(Container& parent, std::string_view name, int index = -1);
  ~ControlSlot() override;
  ControlSlot(const ControlSlot&) = delete;
  ControlSlot& operator=(const ControlSlot&) = delete;
  // Places `control` in the slot at the slot's current size.
  void setControl(ControlPtr control);
  Control* control() const { return control_.get(); }
  // The embedded control's picture changed: lists the slot as changed, so that the
  // damage of the control holding it includes the embedded control's.
  void contentChanged();

 protected:
  void sizeChanged() override;
  void keepLook(detail::LookRecord& look) const override;

 private:
  friend struct detail::Tracker;
  ControlPtr control_;
  // How many times a control was placed here: a record keeps it to tell whether the
  // control now in the slot is the one painted.
  uint32_t placed_ = 0;
};

}  // namespace kyv
