#include "kyv/render.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "canvas.h"
#include "damage.h"
#include "geometry.h"
#include "kyv/control.h"
#include "kyv/elements.h"
#include "kyv/error.h"
#include "kyv/files.h"

namespace kyv {
namespace {

using paint::Canvas;
using paint::Clips;
using paint::DeviceLine;
using paint::PlacedText;
using paint::Scale;

constexpr uint32_t kShadow = 0x80000010, kDarkShadow = 0x80000015, kHighlight = 0x80000014,
                   kLight = 0x80000016, kFrame = 0x80000006;

bool lightweight(ElementKind k) {
  return k == ElementKind::Label || k == ElementKind::Line || k == ElementKind::Shape || k == ElementKind::Image;
}

// A stretch of the painter's scratch list of rectangles: where one box may paint. Sorted
// stretches are in order of x0, with none wider than maxWidth, so that the rectangles an
// element meets are found by a binary search.
struct Span {
  size_t begin = 0, end = 0;
  bool sorted = false;
  int maxWidth = 0;
  PixelRect bounds;  // of all its rectangles
  bool empty() const { return begin == end; }
  size_t size() const { return end - begin; }
};

// Stretches with more rectangles than this are kept sorted.
constexpr size_t kSortedFrom = 8;

// The rectangles of `a` that `b` does not cover, at most four, into `out`; returns how many.
int subtract(const PixelRect& a, const PixelRect& b, PixelRect* out) {
  if (!overlaps(a, b)) {
    out[0] = a;
    return 1;
  }
  int n = 0;
  if (a.y0 < b.y0) out[n++] = {a.x0, a.y0, a.x1, b.y0};
  if (b.y1 < a.y1) out[n++] = {a.x0, b.y1, a.x1, a.y1};
  const int top = std::max(a.y0, b.y0), bottom = std::min(a.y1, b.y1);
  if (a.x0 < b.x0) out[n++] = {a.x0, top, b.x0, bottom};
  if (b.x1 < a.x1) out[n++] = {b.x1, top, a.x1, bottom};
  return n;
}

// Walks the element tree in paint order, rounds its geometry to device pixels and draws
// through a canvas. Each box paints within a list of rectangles: the region asked for, cut
// to the box; a box's own layers leave out what its opaque children cover.
class Painter {
 public:
  Painter(Canvas& canvas, double tpp, const Palette& palette)
      : canvas_(canvas), scale_{tpp}, palette_(palette), rects_(scratch()) {
    rects_.clear();
  }

  // Paints the control within `region` (everything when null).
  void paint(Control& control, const Region* region) {
    const PixelRect bounds = canvas_.bounds();
    Span all{rects_.size(), rects_.size(), false, 0, {}};
    if (!region || region->isEverything()) {
      push(bounds, all);
    } else {
      for (const PixelRect& r : region->rects()) push(intersect(r, bounds), all);
    }
    all.end = rects_.size();
    if (all.empty()) return;
    sortIfLarge(all);
    const Surface& s = control.UserControl();
    box(s, 0, 0, scale_.rect(0, 0, s.widthTwips(), s.heightTwips()), all);
  }

 private:
  static std::vector<PixelRect>& scratch() {
    thread_local std::vector<PixelRect> rects;
    return rects;
  }

  uint32_t colour(Colour c) const { return resolveColour(c, palette_); }
  Clips clips(const Span& s) const { return {rects_.data() + s.begin, s.size()}; }

  void push(const PixelRect& r, Span& s) {
    if (r.empty()) return;
    rects_.push_back(r);
    s.maxWidth = std::max(s.maxWidth, r.x1 - r.x0);
    const PixelRect& b = s.bounds;
    s.bounds = b.empty() ? r
                         : PixelRect{std::min(b.x0, r.x0), std::min(b.y0, r.y0), std::max(b.x1, r.x1), std::max(b.y1, r.y1)};
  }

  void sortIfLarge(Span& s) {
    if (s.size() <= kSortedFrom) return;
    std::sort(rects_.begin() + static_cast<ptrdiff_t>(s.begin), rects_.begin() + static_cast<ptrdiff_t>(s.end),
              [](const PixelRect& a, const PixelRect& b) { return a.x0 < b.x0; });
    s.sorted = true;
  }

  // The rectangles of `in` cut to `r`: `in` itself when `r` holds them all, none at once
  // when `r` misses their bounds.
  Span within(const Span& in, const PixelRect& r) {
    if (contains(r, in.bounds)) return in;
    Span out{rects_.size(), rects_.size(), in.sorted, 0, {}};
    if (!overlaps(r, in.bounds)) return out;
    for (size_t i = in.begin; i < in.end; ++i) push(intersect(rects_[i], r), out);
    out.end = rects_.size();
    return out;
  }

  // The rectangles of `in` less what `r` covers: `in` itself when `r` misses them, none at
  // once when `r` covers their bounds.
  Span without(const Span& in, const PixelRect& r) {
    if (!overlaps(r, in.bounds)) return in;
    Span out{rects_.size(), rects_.size(), false, 0, {}};
    if (contains(r, in.bounds)) return out;
    PixelRect pieces[4];
    for (size_t i = in.begin; i < in.end; ++i) {
      const int n = subtract(rects_[i], r, pieces);
      for (int k = 0; k < n; ++k) push(pieces[k], out);
    }
    out.end = rects_.size();
    sortIfLarge(out);
    return out;
  }

  // The rectangles of `in` that meet `f`; just one when one holds all of `f`.
  Span meeting(const Span& in, const PixelRect& f) {
    Span out{rects_.size(), rects_.size(), false, 0, {}};
    if (f.empty() || !overlaps(f, in.bounds)) return out;
    size_t i = in.begin;
    if (in.sorted) {
      const int from = f.x0 - in.maxWidth;
      i = static_cast<size_t>(std::partition_point(rects_.begin() + static_cast<ptrdiff_t>(in.begin),
                                                   rects_.begin() + static_cast<ptrdiff_t>(in.end),
                                                   [&](const PixelRect& r) { return r.x0 <= from; }) -
                              rects_.begin());
    }
    for (; i < in.end; ++i) {
      const PixelRect r = rects_[i];
      if (in.sorted && r.x0 >= f.x1) break;
      if (!overlaps(r, f)) continue;
      if (contains(r, f)) {
        rects_.resize(out.begin);
        rects_.push_back(r);
        out.end = out.begin + 1;
        return out;
      }
      rects_.push_back(r);
    }
    out.end = rects_.size();
    return out;
  }

  // The pixels of `f` that rectangles of `in` cover, as rectangles that do not overlap:
  // row bands between their edges, each with its merged intervals.
  Span disjointMeeting(const Span& in, const PixelRect& f) {
    const Span hits = meeting(in, f);
    if (hits.size() <= 1) return hits;
    for (size_t i = hits.begin; i < hits.end; ++i) rects_[i] = intersect(rects_[i], f);
    std::vector<int>& ys = edges();
    ys.clear();
    for (size_t i = hits.begin; i < hits.end; ++i) {
      ys.push_back(rects_[i].y0);
      ys.push_back(rects_[i].y1);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    Span out{rects_.size(), rects_.size(), false, 0, {}};
    for (size_t b = 0; b + 1 < ys.size(); ++b) {
      const size_t band = rects_.size();
      for (size_t i = hits.begin; i < hits.end; ++i)
        if (rects_[i].y0 <= ys[b] && rects_[i].y1 >= ys[b + 1]) rects_.push_back({rects_[i].x0, ys[b], rects_[i].x1, ys[b + 1]});
      std::sort(rects_.begin() + static_cast<ptrdiff_t>(band), rects_.end(),
                [](const PixelRect& a, const PixelRect& c) { return a.x0 < c.x0; });
      size_t kept = band;
      for (size_t i = band; i < rects_.size(); ++i) {
        if (kept > band && rects_[i].x0 <= rects_[kept - 1].x1) rects_[kept - 1].x1 = std::max(rects_[kept - 1].x1, rects_[i].x1);
        else rects_[kept++] = rects_[i];
      }
      rects_.resize(kept);
    }
    out.end = rects_.size();
    return out;
  }

  static std::vector<int>& edges() {
    thread_local std::vector<int> ys;
    return ys;
  }

  // Whether a twips rectangle, widened by `reach` pixels at the reference resolution
  // each way, may meet the rectangles of `s`: a test without a division, before the
  // exact one.
  bool mayMeet(const Span& s, double x, double y, double w, double h, int reach) const {
    const double margin = (reach + 1) * std::max(scale_.tpp, kReferenceTwipsPerPixel);
    const PixelRect& b = s.bounds;
    return x + w + margin >= b.x0 * scale_.tpp && x - margin <= b.x1 * scale_.tpp && y + h + margin >= b.y0 * scale_.tpp &&
           y - margin <= b.y1 * scale_.tpp;
  }

  // The rectangle a child box or embedded control paints over, opaquely.
  PixelRect opaqueRect(const Element& e, double ix, double iy) const {
    const auto& r = static_cast<const RectElement&>(e);
    if (e.kind() == ElementKind::PictureBox) return scale_.rect(ix + r.leftTwips(), iy + r.topTwips(), r.widthTwips(), r.heightTwips());
    const Control* c = static_cast<const ControlSlot&>(e).control();
    if (!c) return {};
    const Surface& s = c->UserControl();
    return scale_.rect(ix + r.leftTwips(), iy + r.topTwips(), s.widthTwips(), s.heightTwips());
  }

  // Paints box `b`, whose top-left corner is at (x, y) twips and whose pixels are `outer`.
  void box(const Container& b, double x, double y, const PixelRect& outer, const Span& in);
  void lightweightElement(const Element& e, double ix, double iy, const PixelRect& interior, const Span& own);
  void border(const PixelRect& r, const Span& in);

  Canvas& canvas_;
  Scale scale_;
  const Palette& palette_;
  std::vector<PixelRect>& rects_;
};

// Paint order: background, lightweight elements in stacking order, drawn segments,
// child boxes and embedded controls in stacking order, border.
void Painter::box(const Container& b, double x, double y, const PixelRect& outer, const Span& in) {
  const size_t mark = rects_.size();
  const Span area = within(in, outer);
  if (area.empty()) {
    rects_.resize(mark);
    return;
  }
  const double edge = b.BorderStyle() ? kBoxBorderTwips : 0, ix = x + edge, iy = y + edge;
  // Without a border the interior is the box.
  const PixelRect interior =
      edge == 0 ? outer : intersect(scale_.rect(ix, iy, b.interiorWidth(), b.interiorHeight()), outer);
  // The pixels of each shown child box and embedded control, in stacking order, worked out
  // once for both the background and the children.
  const size_t kids = rects_.size();
  for (const Element* e : b.stacking())
    if (e->Visible() && !lightweight(e->kind())) rects_.push_back(opaqueRect(*e, ix, iy));
  const size_t kidsEnd = rects_.size();
  Span own = area;
  for (size_t k = kids; k < kidsEnd; ++k) {
    const PixelRect covered = intersect(rects_[k], interior);
    if (!covered.empty()) own = without(own, covered);
  }
  if (!own.empty()) {
    canvas_.fill(outer, colour(b.BackColor()), clips(own));
    const Span ownInside = within(own, interior);
    if (!ownInside.empty()) {
      for (const Element* e : b.stacking())
        if (e->Visible() && lightweight(e->kind())) lightweightElement(*e, ix, iy, interior, ownInside);
      // Where one rectangle holds the whole interior, every segment is drawn within it.
      const bool open = ownInside.size() == 1 && contains(rects_[ownInside.begin], interior);
      for (const Segment& s : b.drawnSegments()) {
        const DeviceLine l = paint::deviceLine(scale_, ix + s.x1, iy + s.y1, ix + s.x2, iy + s.y2, 1, 1);
        if (open) {
          canvas_.line(l, colour(s.colour), clips(ownInside));
          continue;
        }
        const size_t at = rects_.size();
        const Span hits = meeting(ownInside, intersect(paint::bounds(l), interior));
        if (!hits.empty()) canvas_.line(l, colour(s.colour), clips(hits));
        rects_.resize(at);
      }
    }
  }
  const Span inside = within(area, interior);
  if (!inside.empty()) {
    size_t k = kids;
    for (const Element* e : b.stacking()) {
      if (!e->Visible() || lightweight(e->kind())) continue;
      const PixelRect childOuter = rects_[k++];
      const auto& r = static_cast<const RectElement&>(*e);
      if (e->kind() == ElementKind::PictureBox) {
        box(static_cast<const Container&>(*e), ix + r.leftTwips(), iy + r.topTwips(), childOuter, inside);
      } else if (Control* c = static_cast<const ControlSlot&>(*e).control()) {
        box(c->UserControl(), ix + r.leftTwips(), iy + r.topTwips(), childOuter, inside);
      }
    }
  }
  if (b.BorderStyle()) border(outer, area);
  rects_.resize(mark);
}

void Painter::lightweightElement(const Element& e, double ix, double iy, const PixelRect& interior, const Span& own) {
  const size_t mark = rects_.size();
  switch (e.kind()) {
    case ElementKind::Shape: {
      const auto& s = static_cast<const Shape&>(e);
      if (!mayMeet(own, ix + s.leftTwips(), iy + s.topTwips(), s.widthTwips(), s.heightTwips(), 0)) break;
      const PixelRect r = scale_.rect(ix + s.leftTwips(), iy + s.topTwips(), s.widthTwips(), s.heightTwips());
      const Span hits = meeting(own, intersect(r, interior));
      if (hits.empty()) break;
      canvas_.fill(r, colour(s.FillColor()), clips(hits));
      if (!s.BorderStyle()) break;
      const uint32_t c = colour(s.BorderColor());
      for (const PixelRect& side : paint::outline(scale_, r).sides) canvas_.fill(side, c, clips(hits));
      break;
    }
    case ElementKind::Image: {
      const auto& i = static_cast<const Image&>(e);
      if (!i.BorderStyle()) break;
      const PixelRect r = scale_.rect(ix + i.leftTwips(), iy + i.topTwips(), i.widthTwips(), i.heightTwips());
      const Span hits = meeting(own, intersect(r, interior));
      if (hits.empty()) break;
      for (const PixelRect& side : paint::outline(scale_, r).sides) canvas_.fill(side, colour(Colour{kFrame}), clips(hits));
      break;
    }
    case ElementKind::Line: {
      const auto& l = static_cast<const LineElement&>(e);
      const double x0 = std::min(l.x1Twips(), l.x2Twips()), y0 = std::min(l.y1Twips(), l.y2Twips());
      if (!mayMeet(own, ix + x0, iy + y0, std::max(l.x1Twips(), l.x2Twips()) - x0, std::max(l.y1Twips(), l.y2Twips()) - y0,
                   l.BorderWidth() + 1))
        break;
      const DeviceLine d = paint::deviceLine(scale_, ix + l.x1Twips(), iy + l.y1Twips(), ix + l.x2Twips(),
                                             iy + l.y2Twips(), l.BorderStyle(), l.BorderWidth());
      const Span hits = meeting(own, intersect(paint::bounds(d), interior));
      if (!hits.empty()) canvas_.line(d, colour(l.BorderColor()), clips(hits));
      break;
    }
    case ElementKind::Label: {
      const auto& l = static_cast<const Label&>(e);
      const PlacedText t = paint::placeText(scale_, l.Caption(), l.FontName(), l.FontWeight(), l.FontSize(),
                                            l.Alignment(), ix + l.leftTwips(), iy + l.topTwips(), l.widthTwips());
      if (!t.text) break;
      const Span hits = disjointMeeting(own, intersect(paint::inkBounds(t, interior), interior));
      if (!hits.empty()) canvas_.text(t, l.FontName(), l.Caption(), colour(l.ForeColor()), clips(hits));
      break;
    }
    default: break;
  }
  rects_.resize(mark);
}

// The 2-pixel sunken edge: each ring's lit sides (bottom, right), then its shaded ones.
void Painter::border(const PixelRect& r, const Span& in) {
  const paint::SunkenEdge e = paint::sunkenEdge(scale_, r);
  const Colour lit[2] = {Colour{kHighlight}, Colour{kLight}}, shaded[2] = {Colour{kShadow}, Colour{kDarkShadow}};
  const auto side = [&](const PixelRect& s, Colour c) {
    const size_t mark = rects_.size();
    const Span hits = meeting(in, s);
    if (!hits.empty()) canvas_.fill(s, colour(c), clips(hits));
    rects_.resize(mark);
  };
  for (int ring = 0; ring < 2; ++ring) {
    for (const PixelRect& s : e.lit[ring]) side(s, lit[ring]);
    for (const PixelRect& s : e.shaded[ring]) side(s, shaded[ring]);
  }
}

// A palette's fingerprint: a render with another palette repaints everything. The last
// one worked out is kept with its palette: a host painting many controls a tick asks for
// the same one each time, and comparing is cheaper than hashing.
uint64_t fingerprint(const Palette& p) {
  thread_local Palette last{};
  thread_local uint64_t lastPrint = 0;
  if (lastPrint != 0 && p == last) return lastPrint;
  uint64_t h = 1469598103934665603ull;
  for (uint32_t v : p) h = (h ^ v) * 1099511628211ull;
  last = p;
  lastPrint = h | 1;  // never 0, which stands for no paint
  return lastPrint;
}

double validTpp(double tpp) { return tpp > 0 && std::isfinite(tpp) ? tpp : kReferenceTwipsPerPixel; }

// What a render paints: the damage when only that is asked for and can be trusted, else
// the clip.
const Region* regionToPaint(Control& control, const RenderOptions& o, double tpp, uint64_t palette, bool direct) {
  if (!o.onlyDamage) return o.clip;
  if (!direct || !detail::Tracker::paintedWith(control, tpp, palette)) return nullptr;
  return &control.damage();
}

bool whole(double v) { return std::abs(v) <= (1 << 24) && v == std::floor(v); }

// The fallback of a direct canvas over a cairo context's own target: that context.
class ContextFallback final : public paint::CairoFallback {
 public:
  ContextFallback(cairo_t* cr, int originX, int originY) : cr_(cr), originX_(originX), originY_(originY) {}
  // The canvas places the control at its origin in the image: undo the context's own
  // translation for the time of the call.
  cairo_t* context() override {
    if (!prepared_) {
      cairo_translate(cr_, -originX_, -originY_);
      prepared_ = true;
    }
    return cr_;
  }

 private:
  cairo_t* cr_;
  int originX_, originY_;
  bool prepared_ = false;
};

// The pixels behind `cr` when painting into them directly gives cairo's pixels: an ARGB32
// or RGB24 image, drawn into with OVER at a whole-pixel offset with no group pushed,
// clipped to at most one pixel-aligned rectangle, and text left to cairo's defaults.
struct DirectTarget {
  unsigned char* data;
  int stride, originX, originY;
  PixelRect bounds;  // the control's pixels
};

std::optional<DirectTarget> directTarget(cairo_t* cr, const PixelRect& extent) {
  cairo_surface_t* surface = cairo_get_target(cr);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS || cairo_get_group_target(cr) != surface) return std::nullopt;
  if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return std::nullopt;
  const cairo_format_t format = cairo_image_surface_get_format(surface);
  if ((format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) || cairo_get_operator(cr) != CAIRO_OPERATOR_OVER)
    return std::nullopt;
  double offsetX, offsetY, scaleX, scaleY;
  cairo_surface_get_device_offset(surface, &offsetX, &offsetY);
  cairo_surface_get_device_scale(surface, &scaleX, &scaleY);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (offsetX != 0 || offsetY != 0 || scaleX != 1 || scaleY != 1) return std::nullopt;
  if (m.xx != 1 || m.yy != 1 || m.xy != 0 || m.yx != 0 || !whole(m.x0) || !whole(m.y0)) return std::nullopt;
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_t* defaults = cairo_font_options_create();
  cairo_get_font_options(cr, options);
  const bool plainText = cairo_font_options_equal(options, defaults);
  cairo_font_options_destroy(options);
  cairo_font_options_destroy(defaults);
  if (!plainText) return std::nullopt;

  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  if (!data || reinterpret_cast<uintptr_t>(data) % 4 != 0 || stride % 4 != 0) return std::nullopt;

  cairo_save(cr);
  cairo_rectangle(cr, extent.x0, extent.y0, static_cast<double>(extent.x1) - extent.x0,
                  static_cast<double>(extent.y1) - extent.y0);
  cairo_clip(cr);
  cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
  cairo_restore(cr);
  const bool simple = list->status == CAIRO_STATUS_SUCCESS && list->num_rectangles <= 1;
  PixelRect clip;
  if (simple && list->num_rectangles == 1) {
    const cairo_rectangle_t& r = list->rectangles[0];
    if (whole(r.x) && whole(r.y) && whole(r.width) && whole(r.height))
      clip = {static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.x + r.width), static_cast<int>(r.y + r.height)};
    else
      clip = {0, 0, -1, -1};
  }
  cairo_rectangle_list_destroy(list);
  if (!simple || clip.x1 < clip.x0) return std::nullopt;

  const int originX = static_cast<int>(m.x0), originY = static_cast<int>(m.y0);
  const PixelRect image{-originX, -originY, cairo_image_surface_get_width(surface) - originX,
                        cairo_image_surface_get_height(surface) - originY};
  return DirectTarget{data, stride, originX, originY, intersect(clip, image)};
}

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

void checkPixels(const uint8_t* bits, int width, int height, int stride) {
  if (!bits || width < 1 || height < 1)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: no pixels to render into");
  checkPicture(width, height, static_cast<double>(kMaxPictureSide) * kMaxPictureSide);
  if (stride < cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width) || stride % 4 != 0)
    raise(ErrorKind::InvalidPropertyValue,
          "Invalid property value: a stride of " + std::to_string(stride) + " bytes does not fit " +
              std::to_string(width) + " pixels a row");
}

cairo_status_t append(void* bytes, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(bytes)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// The fallback of a direct canvas over a pixel target: the target's own cairo context.
class TargetFallback final : public paint::CairoFallback {
 public:
  explicit TargetFallback(PixelTarget& target) : target_(target) {}
  cairo_t* context() override { return target_.cairo(); }

 private:
  PixelTarget& target_;
};

}  // namespace

PixelTarget::PixelTarget(uint8_t* bits, int width, int height, int stride)
    : bits_(bits), width_(width), height_(height), stride_(stride) {
  checkPixels(bits, width, height, stride);
}

PixelTarget::~PixelTarget() {
  if (cr_) cairo_destroy(cr_);
  if (surface_) cairo_surface_destroy(surface_);
}

cairo_t* PixelTarget::cairo() {
  if (!cr_) {
    surface_ = cairo_image_surface_create_for_data(bits_, CAIRO_FORMAT_ARGB32, width_, height_, stride_);
    cr_ = cairo_create(surface_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  }
  return cr_;
}

void render(Control& control, PixelTarget& target, int x, int y, const RenderOptions& options) {
  const double tpp = validTpp(options.twipsPerPixel);
  const Palette& palette = options.palette ? *options.palette : systemPalette();
  const uint64_t print = fingerprint(palette);
  const Region* region = regionToPaint(control, options, tpp, print, true);
  const Surface& s = control.UserControl();
  const Scale scale{tpp};
  const PixelRect extent = intersect(scale.rect(0, 0, s.widthTwips(), s.heightTwips()),
                                     {-x, -y, target.width() - x, target.height() - y});
  if (!extent.empty()) {
    TargetFallback fallback(target);
    paint::PixelCanvas canvas(target.bits(), target.stride(), x, y, extent, fallback);
    Painter(canvas, tpp, palette).paint(control, region);
  }
  detail::Tracker::markPainted(control, tpp, print);
}

void render(Control& control, cairo_t* cr, const RenderOptions& options) {
  const double tpp = validTpp(options.twipsPerPixel);
  const Palette& palette = options.palette ? *options.palette : systemPalette();
  const uint64_t print = fingerprint(palette);
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  const Surface& s = control.UserControl();
  const PixelRect extent = Scale{tpp}.rect(0, 0, s.widthTwips(), s.heightTwips());
  const std::optional<DirectTarget> direct = directTarget(cr, extent);
  const Region* region = regionToPaint(control, options, tpp, print, direct.has_value());
  if (direct) {
    ContextFallback fallback(cr, direct->originX, direct->originY);
    {
      paint::PixelCanvas canvas(direct->data, direct->stride, direct->originX, direct->originY,
                                intersect(direct->bounds, extent), fallback);
      Painter(canvas, tpp, palette).paint(control, region);
    }
    const PixelRect& b = direct->bounds;
    if (!b.empty())
      cairo_surface_mark_dirty_rectangle(cairo_get_target(cr), b.x0 + direct->originX, b.y0 + direct->originY,
                                         b.x1 - b.x0, b.y1 - b.y0);
  } else {
    paint::CairoCanvas canvas(cr);
    Painter(canvas, tpp, palette).paint(control, region);
  }
  cairo_restore(cr);
  detail::Tracker::markPainted(control, tpp, print);
}

void render(Control& control, cairo_t* cr, double twipsPerPixel) {
  RenderOptions o;
  o.twipsPerPixel = twipsPerPixel;
  render(control, cr, o);
}

void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride, const RenderOptions& options) {
  PixelTarget target(bits, width, height, stride);
  checkScale(options.twipsPerPixel);
  render(control, target, 0, 0, options);
}

void renderToPixels(Control& control, uint8_t* bits, int width, int height, int stride, double tpp) {
  RenderOptions o;
  o.twipsPerPixel = tpp;
  renderToPixels(control, bits, width, height, stride, o);
}

void renderToFile(Control& control, const std::string& path, double tpp) {
  RenderOptions options;
  options.twipsPerPixel = tpp;
  renderToFile(control, path, options);
}

void renderToFile(Control& control, const std::string& path, const RenderOptions& options) {
  const double tpp = options.twipsPerPixel;
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
  RenderOptions whole;
  whole.twipsPerPixel = tpp;
  whole.palette = options.palette;
  render(control, cr, whole);
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

}  // namespace kyv
