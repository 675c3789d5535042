#include "kyv/render.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "kyv/control.h"
#include "kyv/elements.h"
#include "kyv/error.h"

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

struct Painter {
  cairo_t* cr;
  double tpp;

  double px(double twips) const { return std::round(twips / tpp); }
  // Border widths and line widths are pixels at the reference resolution.
  double pixels(double referencePixels) const {
    return std::max(1.0, std::round(referencePixels * kReferenceTwipsPerPixel / tpp));
  }

  void colour(Colour c) const {
    const uint32_t v = resolveColour(c);
    cairo_set_source_rgb(cr, (v & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, ((v >> 16) & 0xFF) / 255.0);
  }

  void rect(double x, double y, double w, double h) const {
    const double x0 = px(x), y0 = px(y);
    cairo_rectangle(cr, x0, y0, px(x + w) - x0, px(y + h) - y0);
  }

  void fillRect(double x, double y, double w, double h, Colour c) const {
    rect(x, y, w, h);
    colour(c);
    cairo_fill(cr);
  }

  // A 2-pixel sunken edge inside the device rectangle of (x, y, w, h).
  void sunkenEdge(double x, double y, double w, double h) const {
    const double x0 = px(x), y0 = px(y), x1 = px(x + w), y1 = px(y + h);
    const double ring = pixels(1);
    const Colour rings[2][2] = {{{kShadow}, {kHighlight}}, {{kDarkShadow}, {kLight}}};
    for (int r = 0; r < 2; ++r) {
      const double a = x0 + r * ring, b = y0 + r * ring, c = x1 - r * ring, d = y1 - r * ring;
      if (c - a <= 0 || d - b <= 0) return;
      colour(rings[r][1]);
      cairo_rectangle(cr, a, d - ring, c - a, ring);
      cairo_rectangle(cr, c - ring, b, ring, d - b);
      cairo_fill(cr);
      colour(rings[r][0]);
      cairo_rectangle(cr, a, b, c - a - ring, ring);
      cairo_rectangle(cr, a, b, ring, d - b - ring);
      cairo_fill(cr);
    }
  }

  void outline(double x, double y, double w, double h, Colour c) const {
    const double x0 = px(x), y0 = px(y), x1 = px(x + w), y1 = px(y + h), t = pixels(1);
    if (x1 <= x0 || y1 <= y0) return;
    colour(c);
    cairo_rectangle(cr, x0, y0, x1 - x0, t);
    cairo_rectangle(cr, x0, y1 - t, x1 - x0, t);
    cairo_rectangle(cr, x0, y0, t, y1 - y0);
    cairo_rectangle(cr, x1 - t, y0, t, y1 - y0);
    cairo_fill(cr);
  }

  void line(double x1, double y1, double x2, double y2, Colour c, int style, int width) const {
    if (style == 0) return;
    const double w = pixels(width);
    const double offset = std::fmod(w, 2.0) == 1.0 ? 0.5 : 0.0;
    cairo_save(cr);
    colour(c);
    cairo_set_line_width(cr, w);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    const double unit = pixels(1);
    const double dash[] = {4 * unit, 2 * unit};
    const double dot[] = {unit, unit};
    const double dashDot[] = {4 * unit, 2 * unit, unit, 2 * unit};
    const double dashDotDot[] = {4 * unit, 2 * unit, unit, 2 * unit, unit, 2 * unit};
    switch (style) {
      case 2: cairo_set_dash(cr, dash, 2, 0); break;
      case 3:
        cairo_set_dash(cr, dot, 2, 0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        break;
      case 4: cairo_set_dash(cr, dashDot, 4, 0); break;
      case 5: cairo_set_dash(cr, dashDotDot, 6, 0); break;
      default: break;
    }
    cairo_move_to(cr, px(x1) + offset, px(y1) + offset);
    cairo_line_to(cr, px(x2) + offset, px(y2) + offset);
    cairo_stroke(cr);
    cairo_restore(cr);
  }

  void text(const Label& l, double x, double y) const {
    if (l.Caption().empty()) return;
    cairo_save(cr);
    cairo_select_font_face(cr, l.FontName().c_str(), CAIRO_FONT_SLANT_NORMAL,
                           l.FontWeight() >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, l.FontSize() * 20.0 / tpp);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(cr, l.Caption().c_str(), &te);
    double left = px(x);
    const double width = px(x + l.widthTwips()) - left;
    if (l.Alignment() == 1) left += width - te.x_advance;
    if (l.Alignment() == 2) left += std::round((width - te.x_advance) / 2);
    colour(l.ForeColor());
    cairo_move_to(cr, left, px(y) + std::round(fe.ascent));
    cairo_show_text(cr, l.Caption().c_str());
    cairo_restore(cr);
  }

  void element(const Element& e, double ox, double oy) const;
  void box(const Container& box, double x, double y) const;
  void control(Control& c, double x, double y) const;
};

bool lightweight(ElementKind k) {
  return k == ElementKind::Label || k == ElementKind::Line || k == ElementKind::Shape || k == ElementKind::Image;
}

void Painter::element(const Element& e, double ox, double oy) const {
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

// Paint order: background, lightweight elements in stacking order, drawn segments,
// child boxes and embedded controls in stacking order, border.
void Painter::box(const Container& b, double x, double y) const {
  const double w = b.widthTwips(), h = b.heightTwips();
  cairo_save(cr);
  rect(x, y, w, h);
  cairo_clip(cr);
  fillRect(x, y, w, h, b.BackColor());
  const double border = b.BorderStyle() ? kBoxBorderTwips : 0;
  const double ix = x + border, iy = y + border;
  cairo_save(cr);
  rect(ix, iy, b.interiorWidth(), b.interiorHeight());
  cairo_clip(cr);
  for (const Element* e : b.stacking())
    if (e->Visible() && lightweight(e->kind())) element(*e, ix, iy);
  for (const Segment& s : b.drawnSegments()) line(ix + s.x1, iy + s.y1, ix + s.x2, iy + s.y2, s.colour, 1, 1);
  for (const Element* e : b.stacking())
    if (e->Visible() && !lightweight(e->kind())) element(*e, ix, iy);
  cairo_restore(cr);
  if (b.BorderStyle()) sunkenEdge(x, y, w, h);
  cairo_restore(cr);
}

void Painter::control(Control& c, double x, double y) const {
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
  Painter{cr, twipsPerPixel}.control(control, 0, 0);
  cairo_restore(cr);
}

void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride, double tpp) {
  if (!bits || width < 1 || height < 1 || width > 32767 || height > 32767)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: no pixels to render into");
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
  if (!(tpp > 0)) tpp = kReferenceTwipsPerPixel;
  const Surface& s = control.UserControl();
  const int w = std::max(1, static_cast<int>(std::ceil(s.widthTwips() / tpp)));
  const int h = std::max(1, static_cast<int>(std::ceil(s.heightTwips() / tpp)));
  const std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
  cairo_surface_t* surface = nullptr;
  if (ext == ".png") surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  else if (ext == ".svg") surface = cairo_svg_surface_create(path.c_str(), w, h);
  else if (ext == ".pdf") surface = cairo_pdf_surface_create(path.c_str(), w, h);
  else raise(ErrorKind::InvalidPropertyValue, "Invalid property value: " + path + " is not a .png, .svg or .pdf file");
  cairo_t* cr = cairo_create(surface);
  render(control, cr, tpp);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_status_t status = ext == ".png" ? cairo_surface_write_to_png(surface, path.c_str()) : CAIRO_STATUS_SUCCESS;
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: cannot write " + path + ": " + cairo_status_to_string(status));
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
