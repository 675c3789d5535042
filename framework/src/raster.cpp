#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kyv::raster {

// Pixels [x0, x1) of row dy, relative to the line's first end, and `count` - 1 more runs
// like it, each (stepX, stepY) further on: a dotted line is a handful of these.
struct Run {
  int dy, x0, x1;
  int count = 1, stepX = 0, stepY = 0;
};

namespace {

// A line or caption whose scratch image would exceed this many pixels, or cairo's limit
// of pixels a side, is left to cairo.
constexpr double kMaxScratchPixels = 1 << 20;
constexpr int kMaxScratchSide = 32767;
// What each thread keeps of line shapes and captions; a cache starts afresh when full.
constexpr size_t kMaxShapeBytes = 4 << 20, kMaxTextBytes = 4 << 20;

// A line's shape: everything but its position.
struct Shape {
  int dx, dy, style, width, unit;
  bool operator==(const Shape&) const = default;
};

struct ShapeHash {
  size_t operator()(const Shape& s) const {
    size_t h = std::hash<int>()(s.dx);
    for (int v : {s.dy, s.style, s.width, s.unit}) h = h * 1000003u ^ std::hash<int>()(v);
    return h;
  }
};

// Folds runs of equal length at equal steps into one.
std::vector<Run> fold(const std::vector<Run>& runs) {
  std::vector<Run> folded;
  for (const Run& r : runs) {
    if (!folded.empty()) {
      Run& last = folded.back();
      const int stepX = r.x0 - (last.x0 + (last.count - 1) * last.stepX);
      const int stepY = r.dy - (last.dy + (last.count - 1) * last.stepY);
      const bool sameLength = r.x1 - r.x0 == last.x1 - last.x0;
      const bool level = stepY == 0 && stepX >= r.x1 - r.x0, upright = stepX == 0 && stepY > 0;
      if (sameLength && (level || upright) && (last.count == 1 || (stepX == last.stepX && stepY == last.stepY))) {
        last.stepX = stepX;
        last.stepY = stepY;
        ++last.count;
        continue;
      }
    }
    folded.push_back(r);
  }
  return folded;
}

// The pixels cairo sets when it strokes a line of one shape, relative to the line's first
// end. Moved by whole pixels, a solid line or a level or upright dashed one sets the same
// pixels moved by as much, so a shape is rasterized once, by cairo itself, and copied from
// then on.
using Stamp = std::vector<Run>;

std::optional<Stamp> rasterize(const Shape& s) {
  const int margin = s.width + 2;  // square caps and the width reach less far than this
  const int w = std::abs(s.dx) + 2 * margin, h = std::abs(s.dy) + 2 * margin;
  if (w > kMaxScratchSide || h > kMaxScratchSide || static_cast<double>(w) * h > kMaxScratchPixels) return std::nullopt;
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  if (cairo_surface_status(scratch) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(scratch);
    return std::nullopt;
  }
  cairo_t* cr = cairo_create(scratch);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  const int x = margin + std::max(0, -s.dx), y = margin + std::max(0, -s.dy);
  stroke(cr, x, y, x + s.dx, y + s.dy, s.style, s.width, s.unit);
  cairo_destroy(cr);
  cairo_surface_flush(scratch);
  const unsigned char* data = cairo_image_surface_get_data(scratch);
  const int stride = cairo_image_surface_get_stride(scratch);
  std::vector<Run> runs;
  for (int row = 0; row < h; ++row) {
    const unsigned char* p = data + static_cast<ptrdiff_t>(row) * stride;
    for (int i = 0; i < w;) {
      if (!p[i]) {
        ++i;
        continue;
      }
      const int start = i;
      while (i < w && p[i]) ++i;
      runs.push_back({row - y, start - x, i - x});
    }
  }
  cairo_surface_destroy(scratch);
  // Runs come row by row; the runs of an upright dotted line are folded column-wise
  // when they are taken in order of their x.
  if (s.dx == 0) std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.x0 < b.x0; });
  Stamp stamp = fold(runs);
  stamp.shrink_to_fit();
  return stamp;
}

// The stamp of `s`, or null when the shape is too large to keep.
const Stamp* stampOf(const Shape& s) {
  thread_local std::unordered_map<Shape, std::optional<Stamp>, ShapeHash> cache;
  thread_local size_t bytes = 0;
  auto it = cache.find(s);
  if (it == cache.end()) {
    std::optional<Stamp> stamp = rasterize(s);
    const size_t size = sizeof(Shape) + sizeof(stamp) + (stamp ? stamp->size() * sizeof(Run) : 0);
    if (bytes + size > kMaxShapeBytes) {
      cache.clear();
      bytes = 0;
    }
    bytes += size;
    it = cache.emplace(s, std::move(stamp)).first;
  }
  return it->second ? &*it->second : nullptr;
}

struct TextKey {
  std::string family;
  bool bold;
  double size;
  std::string caption;
};

// A key to look a caption up by, without copying its strings.
struct TextKeyView {
  std::string_view family;
  bool bold;
  double size;
  std::string_view caption;
  TextKeyView(const TextKey& k) : family(k.family), bold(k.bold), size(k.size), caption(k.caption) {}
  TextKeyView(std::string_view f, bool b, double s, std::string_view c) : family(f), bold(b), size(s), caption(c) {}
  bool operator==(const TextKeyView&) const = default;
};

struct TextKeyHash {
  using is_transparent = void;
  size_t operator()(const TextKeyView& k) const {
    return std::hash<std::string_view>()(k.family) ^ std::hash<std::string_view>()(k.caption) * 31 ^
           std::hash<double>()(k.size) * 131 ^ static_cast<size_t>(k.bold);
  }
};

struct TextKeyEqual {
  using is_transparent = void;
  bool operator()(const TextKeyView& a, const TextKeyView& b) const { return a == b; }
};

// Measures the caption as the renderer does and draws its glyphs in white onto a clear
// A8 image with ADD, so that the image holds their coverage as cairo applies it.
Text rasterize(const TextKey& k) {
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  const auto font = [&](cairo_t* c) {
    cairo_select_font_face(c, k.family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                           k.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(c, k.size);
  };
  font(cr);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_text_extents_t te;
  cairo_text_extents(cr, k.caption.c_str(), &te);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);

  Text t;
  t.advance = te.x_advance;
  t.ascent = fe.ascent;
  // The ink box with room to spare: anti-aliasing and hinting may reach past it.
  const double margin = 4 + std::floor(k.size / 4);
  const double x = std::floor(te.x_bearing) - margin, y = std::floor(te.y_bearing) - margin;
  const double width = std::ceil(te.width) + 2 * margin + 1, height = std::ceil(te.height) + 2 * margin + 1;
  const bool fits = te.width >= 0 && te.height >= 0 && width <= kMaxScratchSide && height <= kMaxScratchSide &&
                    width * height <= kMaxScratchPixels && std::abs(x) <= kMaxScratchSide &&
                    std::abs(y) <= kMaxScratchSide;
  if (fits) scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, static_cast<int>(width), static_cast<int>(height));
  if (!fits || cairo_surface_status(scratch) != CAIRO_STATUS_SUCCESS) {
    if (fits) cairo_surface_destroy(scratch);
    t.kept = false;
    return t;
  }
  t.x = static_cast<int>(x);
  t.y = static_cast<int>(y);
  t.width = static_cast<int>(width);
  t.height = static_cast<int>(height);
  cr = cairo_create(scratch);
  font(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, -t.x, -t.y);
  cairo_show_text(cr, k.caption.c_str());
  cairo_destroy(cr);
  cairo_surface_flush(scratch);
  const unsigned char* data = cairo_image_surface_get_data(scratch);
  const int stride = cairo_image_surface_get_stride(scratch);
  // Keeps the box of the pixels the glyphs cover.
  int left = t.width, right = 0, top = t.height, bottom = 0;
  for (int row = 0; row < t.height; ++row)
    for (int col = 0; col < t.width; ++col)
      if (data[static_cast<ptrdiff_t>(row) * stride + col]) {
        left = std::min(left, col);
        right = std::max(right, col + 1);
        top = std::min(top, row);
        bottom = std::max(bottom, row + 1);
      }
  Text kept{t.advance, t.ascent, t.x + left, t.y + top, std::max(0, right - left), std::max(0, bottom - top), {}};
  kept.coverage.resize(static_cast<size_t>(kept.width) * kept.height);
  for (int row = 0; row < kept.height; ++row)
    std::copy_n(data + static_cast<ptrdiff_t>(row + top) * stride + left, kept.width,
                kept.coverage.begin() + static_cast<ptrdiff_t>(row) * kept.width);
  cairo_surface_destroy(scratch);
  return kept;
}

// a * b / 255, rounded as pixman rounds it.
uint32_t multiply(uint32_t a, uint32_t b) {
  const uint32_t t = a * b + 0x80;
  return ((t >> 8) + t) >> 8;
}

// `dst` moved towards the opaque `src` by `coverage`: src IN coverage OVER dst, channel
// by channel.
uint32_t over(uint32_t src, uint32_t dst, uint32_t coverage) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8)
    out |= (multiply(src >> shift & 0xFF, coverage) + multiply(dst >> shift & 0xFF, 255 - coverage)) << shift;
  return out;
}

uint32_t opaque(uint32_t bgr) { return 0xFF000000u | (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF); }

bool whole(double v) { return std::abs(v) <= (1 << 24) && v == std::floor(v); }

}  // namespace

const Text& textOf(const std::string& family, bool bold, double size, const std::string& caption) {
  thread_local std::unordered_map<TextKey, Text, TextKeyHash, TextKeyEqual> cache;
  thread_local size_t bytes = 0;
  auto it = cache.find(TextKeyView(family, bold, size, caption));
  if (it == cache.end()) {
    TextKey key{family, bold, size, caption};
    Text t = rasterize(key);
    const size_t used = sizeof(key) + sizeof(t) + family.size() + caption.size() + t.coverage.size();
    if (bytes + used > kMaxTextBytes) {
      cache.clear();
      bytes = 0;
    }
    bytes += used;
    it = cache.emplace(std::move(key), std::move(t)).first;
  }
  return it->second;
}

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
  return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

void stroke(cairo_t* cr, double x1, double y1, double x2, double y2, int style, double w, double unit) {
  const double offset = std::fmod(w, 2.0) == 1.0 ? 0.5 : 0.0;
  cairo_set_line_width(cr, w);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
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
  cairo_move_to(cr, x1 + offset, y1 + offset);
  cairo_line_to(cr, x2 + offset, y2 + offset);
  cairo_stroke(cr);
}

std::optional<PixelTarget> PixelTarget::of(cairo_t* cr, const PixelRect& extent) {
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

  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  if (!data || reinterpret_cast<uintptr_t>(data) % 4 != 0 || stride % 4 != 0) return std::nullopt;

  cairo_rectangle(cr, extent.x0, extent.y0, extent.x1 - extent.x0, extent.y1 - extent.y0);
  cairo_clip(cr);
  cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
  const bool simple = list->status == CAIRO_STATUS_SUCCESS && list->num_rectangles <= 1;
  PixelRect clip;
  if (simple && list->num_rectangles == 1) {
    const cairo_rectangle_t& r = list->rectangles[0];
    if (whole(r.x) && whole(r.y) && whole(r.width) && whole(r.height))
      clip = {static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.x + r.width),
              static_cast<int>(r.y + r.height)};
    else
      clip = {0, 0, -1, -1};
  }
  cairo_rectangle_list_destroy(list);
  if (!simple || clip.x1 < clip.x0) return std::nullopt;
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_t* defaults = cairo_font_options_create();
  cairo_get_font_options(cr, options);
  const bool plainText = cairo_font_options_equal(options, defaults);
  cairo_font_options_destroy(options);
  cairo_font_options_destroy(defaults);

  PixelTarget t;
  t.surface_ = surface;
  t.data_ = data;
  t.stride_ = stride;
  t.dx_ = static_cast<int>(m.x0);
  t.dy_ = static_cast<int>(m.y0);
  const PixelRect bounds{-t.dx_, -t.dy_, cairo_image_surface_get_width(surface) - t.dx_,
                         cairo_image_surface_get_height(surface) - t.dy_};
  t.clip_ = t.painted_ = intersect(clip, bounds);
  t.plainText_ = plainText;
  return t;
}

void PixelTarget::fillRow(int y, int x0, int x1, uint32_t argb) {
  uint32_t* p = reinterpret_cast<uint32_t*>(data_ + static_cast<ptrdiff_t>(y + dy_) * stride_) + (x0 + dx_);
  if (x1 - x0 == 1) *p = argb;
  else std::fill(p, p + (x1 - x0), argb);
}

void PixelTarget::fillRun(int x, int y, const Run& run, uint32_t argb) {
  const int x0 = x + run.x0, x1 = x + run.x1, top = y + run.dy;
  if (run.stepY == 0) {  // along one row
    if (top < clip_.y0 || top >= clip_.y1) return;
    for (int i = 0; i < run.count; ++i) {
      const int a = std::max(x0 + i * run.stepX, clip_.x0), b = std::min(x1 + i * run.stepX, clip_.x1);
      if (a < b) fillRow(top, a, b, argb);
    }
    return;
  }
  const int a = std::max(x0, clip_.x0), b = std::min(x1, clip_.x1);  // down one column
  if (a >= b) return;
  for (int i = 0; i < run.count; ++i) {
    const int row = top + i * run.stepY;
    if (row >= clip_.y0 && row < clip_.y1) fillRow(row, a, b, argb);
  }
}

void PixelTarget::fill(const PixelRect& r, uint32_t bgr) {
  const PixelRect c = intersect(r, clip_);
  if (c.empty()) return;
  const uint32_t argb = opaque(bgr);
  for (int y = c.y0; y < c.y1; ++y) fillRow(y, c.x0, c.x1, argb);
}

bool PixelTarget::draw(const Line& l, uint32_t bgr) {
  // Cairo places the dashes of a slanted line in floating point from its ends, so those
  // do not keep their pixels when moved; they are left to cairo.
  const bool solid = l.style == 1 || l.style == 6;
  if (!solid && l.x1 != l.x2 && l.y1 != l.y2) return false;
  const Stamp* stamp = stampOf({l.x2 - l.x1, l.y2 - l.y1, l.style, l.width, l.unit});
  if (!stamp) return false;
  const uint32_t argb = opaque(bgr);
  for (const Run& run : *stamp) {
    if (run.count > 1) {
      fillRun(l.x1, l.y1, run, argb);
      continue;
    }
    const int row = l.y1 + run.dy;
    if (row < clip_.y0 || row >= clip_.y1) continue;
    const int x0 = std::max(l.x1 + run.x0, clip_.x0), x1 = std::min(l.x1 + run.x1, clip_.x1);
    if (x0 < x1) fillRow(row, x0, x1, argb);
  }
  return true;
}

void PixelTarget::draw(const Text& text, int x, int y, uint32_t bgr) {
  const PixelRect box = intersect(clip_, {x + text.x, y + text.y, x + text.x + text.width, y + text.y + text.height});
  if (box.empty()) return;
  const uint32_t argb = opaque(bgr);
  for (int row = box.y0; row < box.y1; ++row) {
    const uint8_t* cover = text.coverage.data() + static_cast<ptrdiff_t>(row - y - text.y) * text.width - (x + text.x);
    auto* p = reinterpret_cast<uint32_t*>(data_ + static_cast<ptrdiff_t>(row + dy_) * stride_) + dx_;
    for (int col = box.x0; col < box.x1; ++col) {
      const uint32_t c = cover[col];
      if (c == 255) p[col] = argb;
      else if (c) p[col] = over(argb, p[col], c);
    }
  }
}

void PixelTarget::markDirty() const {
  if (painted_.empty()) return;
  cairo_surface_flush(surface_);
  cairo_surface_mark_dirty_rectangle(surface_, painted_.x0 + dx_, painted_.y0 + dy_, painted_.x1 - painted_.x0,
                                     painted_.y1 - painted_.y0);
}

}  // namespace kyv::raster
