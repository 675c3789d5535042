#include "kyv/render.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <optional>

#include "kyv/control.h"
#include "kyv/elements.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "raster.h"

namespace kyv {
namespace {

// Classic system colours, 0x00BBGGRR, indexed by the low byte of 0x800000nn.
Palette& palette() {
  static Palette p = {
      0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
      0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0,
      0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
      0xE1FFFF, 0xB5B5B5, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0};
  return p;
}

constexpr uint32_t kShadow = 0x80000010, kDarkShadow = 0x80000015, kHighlight = 0x80000014,
                   kLight = 0x80000016, kFrame = 0x80000006;

// Device coordinates the direct path takes; beyond them cairo draws what it draws.
constexpr double kPixelRange = 1 << 22;

bool inPixelRange(std::initializer_list<double> values) {
  for (double v : values)
    if (!(std::abs(v) <= kPixelRange)) return false;
  return true;
}

// Walks the element tree in paint order and rounds its geometry to device pixels. It
// paints through cairo or, while `pixels` is set (the context paints into a plain image),
// writes the pixels itself, the same pixels cairo would set.
struct Painter {
  cairo_t* cr;
  double tpp;
  raster::PixelTarget* pixels = nullptr;

  double px(double twips) const { return std::round(twips / tpp); }
  // Border widths and line widths are pixels at the reference resolution.
  double scaled(double referencePixels) const {
    return std::max(1.0, std::round(referencePixels * kReferenceTwipsPerPixel / tpp));
  }

  void colour(Colour c) const {
    const uint32_t v = resolveColour(c);
    cairo_set_source_rgb(cr, (v & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, ((v >> 16) & 0xFF) / 255.0);
  }

  // Runs `draw` on cairo: at once, or clipped as the direct path is.
  template <class Draw>
  void onCairo(Draw&& draw) const {
    if (!pixels) return draw();
    const raster::PixelRect& c = pixels->clip();
    if (c.empty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, c.x0, c.y0, c.x1 - c.x0, c.y1 - c.y0);
    cairo_clip(cr);
    draw();
    cairo_restore(cr);
  }

  // Fills device rectangles (x, y, width, height) in one colour, as one cairo fill.
  void fillDevice(std::initializer_list<std::array<double, 4>> rects, Colour c) const {
    bool direct = pixels != nullptr;
    for (const auto& r : rects)
      direct = direct && r[2] >= 0 && r[3] >= 0 && inPixelRange({r[0], r[1], r[0] + r[2], r[1] + r[3]});
    if (direct) {
      const uint32_t bgr = resolveColour(c);
      for (const auto& r : rects)
        pixels->fill({static_cast<int>(r[0]), static_cast<int>(r[1]), static_cast<int>(r[0] + r[2]),
                      static_cast<int>(r[1] + r[3])},
                     bgr);
      return;
    }
    onCairo([&] {
      for (const auto& r : rects) cairo_rectangle(cr, r[0], r[1], r[2], r[3]);
      colour(c);
      cairo_fill(cr);
    });
  }

  // Clips to the device rectangle of (x, y, w, h) until the scope ends. A rectangle
  // beyond the direct path's range hands the box to cairo.
  class ClipScope {
   public:
    ClipScope(Painter& p, double x, double y, double w, double h) : p_(p), pixels_(p.pixels) {
      const double x0 = p.px(x), y0 = p.px(y), x1 = p.px(x + w), y1 = p.px(y + h);
      if (pixels_ && inPixelRange({x0, y0, x1, y1})) {
        saved_ = pixels_->clip();
        pixels_->setClip(raster::intersect(saved_, {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1),
                                                    static_cast<int>(y1)}));
        return;
      }
      cairo_save(p.cr);
      if (pixels_) {
        const raster::PixelRect& c = pixels_->clip();
        cairo_rectangle(p.cr, c.x0, c.y0, c.x1 - c.x0, c.y1 - c.y0);
        cairo_clip(p.cr);
        p.pixels = nullptr;
      }
      cairo_rectangle(p.cr, x0, y0, x1 - x0, y1 - y0);
      cairo_clip(p.cr);
      onCairo_ = true;
    }
    ~ClipScope() {
      if (!onCairo_) {
        pixels_->setClip(saved_);
        return;
      }
      cairo_restore(p_.cr);
      p_.pixels = pixels_;
    }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

   private:
    Painter& p_;
    raster::PixelTarget* pixels_;
    raster::PixelRect saved_;
    bool onCairo_ = false;
  };

  void fillRect(double x, double y, double w, double h, Colour c) const {
    const double x0 = px(x), y0 = px(y);
    fillDevice({{x0, y0, px(x + w) - x0, px(y + h) - y0}}, c);
  }

  // A 2-pixel sunken edge inside the device rectangle of (x, y, w, h).
  void sunkenEdge(double x, double y, double w, double h) const {
    const double x0 = px(x), y0 = px(y), x1 = px(x + w), y1 = px(y + h);
    const double ring = scaled(1);
    const Colour rings[2][2] = {{{kShadow}, {kHighlight}}, {{kDarkShadow}, {kLight}}};
    for (int r = 0; r < 2; ++r) {
      const double a = x0 + r * ring, b = y0 + r * ring, c = x1 - r * ring, d = y1 - r * ring;
      if (c - a <= 0 || d - b <= 0) return;
      fillDevice({{a, d - ring, c - a, ring}, {c - ring, b, ring, d - b}}, rings[r][1]);
      fillDevice({{a, b, c - a - ring, ring}, {a, b, ring, d - b - ring}}, rings[r][0]);
    }
  }

  void outline(double x, double y, double w, double h, Colour c) const {
    const double x0 = px(x), y0 = px(y), x1 = px(x + w), y1 = px(y + h), t = scaled(1);
    if (x1 <= x0 || y1 <= y0) return;
    fillDevice({{x0, y0, x1 - x0, t}, {x0, y1 - t, x1 - x0, t}, {x0, y0, t, y1 - y0}, {x1 - t, y0, t, y1 - y0}}, c);
  }

  void line(double x1, double y1, double x2, double y2, Colour c, int style, int width) const {
    if (style == 0) return;
    const double ax = px(x1), ay = px(y1), bx = px(x2), by = px(y2), w = scaled(width), unit = scaled(1);
    if (pixels && inPixelRange({ax, ay, bx, by, w, unit})) {
      const raster::Line l{static_cast<int>(ax), static_cast<int>(ay), static_cast<int>(bx), static_cast<int>(by),
                           style, static_cast<int>(w), static_cast<int>(unit)};
      if (pixels->draw(l, resolveColour(c))) return;
    }
    onCairo([&] {
      cairo_save(cr);
      colour(c);
      raster::stroke(cr, ax, ay, bx, by, style, w, unit);
      cairo_restore(cr);
    });
  }

  // The caption's left end: its box's left edge, moved for right and centred alignment.
  // An advance a rounding error away from a whole number of pixels (as hinted metrics
  // come out) counts as that number, so that a centred caption does not move by a pixel
  // with the error's sign.
  static double textLeft(const Label& l, double left, double width, double advance) {
    if (std::abs(advance - std::round(advance)) < 1e-9) advance = std::round(advance);
    if (l.Alignment() == 1) return left + width - advance;
    if (l.Alignment() == 2) return left + std::round((width - advance) / 2);
    return left;
  }

  void text(const Label& l, double x, double y) const {
    if (l.Caption().empty()) return;
    const bool bold = l.FontWeight() >= 600;
    const double size = l.FontSize() * 20.0 / tpp, left = px(x), width = px(x + l.widthTwips()) - left;
    if (pixels && pixels->plainText()) {
      const raster::Text& t = raster::textOf(l.FontName(), bold, size, l.Caption());
      const double start = textLeft(l, left, width, t.advance), baseline = px(y) + std::round(t.ascent);
      if (t.kept && start == std::floor(start) && inPixelRange({start, baseline})) {
        pixels->draw(t, static_cast<int>(start), static_cast<int>(baseline), resolveColour(l.ForeColor()));
        return;
      }
    }
    onCairo([&] {
      cairo_save(cr);
      cairo_select_font_face(cr, l.FontName().c_str(), CAIRO_FONT_SLANT_NORMAL,
                             bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
      cairo_set_font_size(cr, size);
      cairo_font_extents_t fe;
      cairo_font_extents(cr, &fe);
      cairo_text_extents_t te;
      cairo_text_extents(cr, l.Caption().c_str(), &te);
      colour(l.ForeColor());
      cairo_move_to(cr, textLeft(l, left, width, te.x_advance), px(y) + std::round(fe.ascent));
      cairo_show_text(cr, l.Caption().c_str());
      cairo_restore(cr);
    });
  }

  void element(const Element& e, double ox, double oy);
  bool coveredByChild(const Container& b, double ix, double iy) const;
  void box(const Container& box, double x, double y);
  void control(Control& c, double x, double y);
};

bool lightweight(ElementKind k) {
  return k == ElementKind::Label || k == ElementKind::Line || k == ElementKind::Shape || k == ElementKind::Image;
}

void Painter::element(const Element& e, double ox, double oy) {
  switch (e.kind()) {
    case ElementKind::Shape: {
      const auto& s = static_cast<const Shape&>(e);
      const double x = ox + s.leftTwips(), y = oy + s.topTwips();
      fillRect(x, y, s.widthTwips(), s.heightTwips(), s.FillColor());
      if (s.BorderStyle()) outline(x, y, s.widthTwips(), s.heightTwips(), s.BorderColor());
      break;
    }
    case ElementKind::Image: {
      const auto& i = static_cast<const Image&>(e);
      if (i.BorderStyle())
        outline(ox + i.leftTwips(), oy + i.topTwips(), i.widthTwips(), i.heightTwips(), Colour{kFrame});
      break;
    }
    case ElementKind::Line: {
      const auto& l = static_cast<const LineElement&>(e);
      line(ox + l.x1Twips(), oy + l.y1Twips(), ox + l.x2Twips(), oy + l.y2Twips(), l.BorderColor(),
           l.BorderStyle(), l.BorderWidth());
      break;
    }
    case ElementKind::Label: {
      const auto& l = static_cast<const Label&>(e);
      text(l, ox + l.leftTwips(), oy + l.topTwips());
      break;
    }
    case ElementKind::PictureBox: box(static_cast<const Container&>(e), ox + static_cast<const RectElement&>(e).leftTwips(), oy + static_cast<const RectElement&>(e).topTwips()); break;
    case ElementKind::ControlSlot: {
      const auto& slot = static_cast<const ControlSlot&>(e);
      if (slot.control()) control(*slot.control(), ox + slot.leftTwips(), oy + slot.topTwips());
      break;
    }
    case ElementKind::Surface: break;
  }
}

// Whether a child box or embedded control of `b` (interior at ix, iy) covers all of the
// clip: then nothing painted under it shows.
bool Painter::coveredByChild(const Container& b, double ix, double iy) const {
  if (!pixels) return false;
  const raster::PixelRect area = pixels->clip();
  const auto device = [&](double x, double y, double w, double h) {
    const double x0 = px(x), y0 = px(y), x1 = px(x + w), y1 = px(y + h);
    if (!inPixelRange({x0, y0, x1, y1})) return raster::PixelRect{};
    return raster::PixelRect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1), static_cast<int>(y1)};
  };
  const raster::PixelRect inner = raster::intersect(area, device(ix, iy, b.interiorWidth(), b.interiorHeight()));
  for (const Element* e : b.stacking()) {
    if (!e->Visible() || lightweight(e->kind())) continue;
    const auto& r = static_cast<const RectElement&>(*e);
    raster::PixelRect child;
    if (e->kind() == ElementKind::PictureBox) {
      child = device(ix + r.leftTwips(), iy + r.topTwips(), r.widthTwips(), r.heightTwips());
    } else if (const Control* c = static_cast<const ControlSlot&>(r).control()) {
      const Surface& s = c->UserControl();
      child = device(ix + r.leftTwips(), iy + r.topTwips(), s.widthTwips(), s.heightTwips());
    }
    const raster::PixelRect shown = raster::intersect(inner, child);
    if (shown.x0 <= area.x0 && shown.y0 <= area.y0 && shown.x1 >= area.x1 && shown.y1 >= area.y1) return true;
  }
  return false;
}

// Paint order: background, lightweight elements in stacking order, drawn segments,
// child boxes and embedded controls in stacking order, border. What a child covers
// completely is left out when painting pixels directly.
void Painter::box(const Container& b, double x, double y) {
  const double w = b.widthTwips(), h = b.heightTwips();
  const ClipScope outer(*this, x, y, w, h);
  const double border = b.BorderStyle() ? kBoxBorderTwips : 0;
  const double ix = x + border, iy = y + border;
  const bool covered = coveredByChild(b, ix, iy);
  if (!covered) fillRect(x, y, w, h, b.BackColor());
  {
    const ClipScope inner(*this, ix, iy, b.interiorWidth(), b.interiorHeight());
    if (!covered) {
      for (const Element* e : b.stacking())
        if (e->Visible() && lightweight(e->kind())) element(*e, ix, iy);
      for (const Segment& s : b.drawnSegments()) line(ix + s.x1, iy + s.y1, ix + s.x2, iy + s.y2, s.colour, 1, 1);
    }
    for (const Element* e : b.stacking())
      if (e->Visible() && !lightweight(e->kind())) element(*e, ix, iy);
  }
  if (b.BorderStyle()) sunkenEdge(x, y, w, h);
}

void Painter::control(Control& c, double x, double y) {
  box(c.UserControl(), x, y);
  c.clearDirty();
}

}  // namespace

const Palette& systemPalette() { return palette(); }
void setSystemPalette(const Palette& p) { palette() = p; }

uint32_t resolveColour(Colour c) {
  if (!c.isSystem()) return c.value & 0xFFFFFF;
  const uint32_t index = c.value & 0xFFFFFF;
  return index < palette().size() ? palette()[index] : 0;
}

void render(Control& control, cairo_t* cr, double twipsPerPixel) {
  if (!(twipsPerPixel > 0)) twipsPerPixel = kReferenceTwipsPerPixel;
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  Painter painter{cr, twipsPerPixel};
  const Surface& s = control.UserControl();
  const double w = painter.px(s.widthTwips()), h = painter.px(s.heightTwips());
  std::optional<raster::PixelTarget> pixels;
  if (inPixelRange({w, h})) pixels = raster::PixelTarget::of(cr, {0, 0, static_cast<int>(w), static_cast<int>(h)});
  painter.pixels = pixels ? &*pixels : nullptr;
  painter.control(control, 0, 0);
  if (pixels) pixels->markDirty();
  cairo_restore(cr);
}

namespace {

void checkScale(double tpp) {
  if (tpp >= kMinTwipsPerPixel && tpp <= kMaxTwipsPerPixel) return;
  raise(ErrorKind::InvalidPropertyValue, "Invalid property value: " + formatNumber(tpp) +
                                             " twips per pixel is not a scale from " + formatNumber(kMinTwipsPerPixel) +
                                             " to " + formatNumber(kMaxTwipsPerPixel));
}

void checkPicture(double width, double height, double maxPixels) {
  const std::string size = formatNumber(width) + " x " + formatNumber(height) + " pixels";
  if (width > kMaxPictureSide || height > kMaxPictureSide)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: a picture of " + size + " is beyond the limit of " +
                                               std::to_string(kMaxPictureSide) + " pixels a side");
  if (width * height > maxPixels)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: a picture of " + size + " is beyond the limit of " +
                                               formatNumber(maxPixels) + " pixels in all");
}

cairo_status_t append(void* bytes, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(bytes)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride, double tpp) {
  if (!bits || width < 1 || height < 1)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: no pixels to render into");
  checkPicture(width, height, static_cast<double>(kMaxPictureSide) * kMaxPictureSide);
  checkScale(tpp);
  if (stride < cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width) || stride % 4 != 0)
    raise(ErrorKind::InvalidPropertyValue,
          "Invalid property value: a stride of " + std::to_string(stride) + " bytes does not fit " +
              std::to_string(width) + " pixels a row");
  cairo_surface_t* surface = cairo_image_surface_create_for_data(bits, CAIRO_FORMAT_ARGB32, width, height, stride);
  cairo_t* cr = cairo_create(surface);
  render(control, cr, tpp);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
}

void renderToFile(Control& control, const std::string& path, double tpp) {
  checkScale(tpp);
  const Surface& s = control.UserControl();
  const double width = std::max(1.0, std::ceil(s.widthTwips() / tpp));
  const double height = std::max(1.0, std::ceil(s.heightTwips() / tpp));
  checkPicture(width, height, kMaxPicturePixels);
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  const std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
  std::string bytes;
  cairo_surface_t* surface = nullptr;
  if (ext == ".png") surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  else if (ext == ".svg") surface = cairo_svg_surface_create_for_stream(append, &bytes, w, h);
  else if (ext == ".pdf") surface = cairo_pdf_surface_create_for_stream(append, &bytes, w, h);
  else raise(ErrorKind::InvalidPropertyValue, "Invalid property value: " + path + " is not a .png, .svg or .pdf file");
  cairo_t* cr = cairo_create(surface);
  render(control, cr, tpp);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_status_t status = cairo_surface_status(surface);
  if (status == CAIRO_STATUS_SUCCESS && ext == ".png") status = cairo_surface_write_to_png_stream(surface, append, &bytes);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: cannot render " + path + ": " + cairo_status_to_string(status));
  writeFileAtomically(path, bytes);
}

TextSize measureText(std::string_view text, const std::string& family, int weight, float points) {
  static cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  cairo_select_font_face(cr, family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                         weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, points * 20.0 / kReferenceTwipsPerPixel);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  const std::string s(text);
  cairo_text_extents_t te;
  cairo_text_extents(cr, s.c_str(), &te);
  cairo_destroy(cr);
  const auto twips = [](double px) { return static_cast<float>(std::ceil(px) * kReferenceTwipsPerPixel); };
  return {twips(te.x_advance), twips(fe.ascent + fe.descent)};
}

}  // namespace kyv
