#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kyv::raster {

namespace {

// A line or caption whose scratch image would exceed this many pixels is left to cairo.
constexpr double kMaxScratchPixels = 1 << 20;
// What each thread keeps of line shapes and captions; a cache starts afresh when full.
constexpr size_t kMaxShapeBytes = 4 << 20, kMaxTextBytes = 4 << 20;

// Cairo's largest image side.
constexpr int kMaxSide = 32767;

struct ShapeHash {
  size_t operator()(const LineShape& s) const {
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

// A cairo A8 image of w x h pixels to rasterize into, or null when cairo cannot make one.
cairo_surface_t* scratch(int w, int h) {
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide || static_cast<double>(w) * h > kMaxScratchPixels) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) return s;
  cairo_surface_destroy(s);
  return nullptr;
}

// Reads the coverage cairo left in a scratch image; null when drawing into it failed.
const unsigned char* coverageOf(cairo_surface_t* s) {
  cairo_surface_flush(s);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return nullptr;
  return cairo_image_surface_get_data(s);
}

// The pixels cairo sets when it strokes shape `s` with its first end at pixel corner
// (x, y), unclipped, read back as runs relative to that end: the scratch image covers the
// line and a margin its square caps and width never reach.
std::optional<Stamp> strokeAsRuns(const LineShape& s, int x, int y) {
  const int margin = s.width + 2;
  const int left = std::min(x, x + s.dx) - margin, top = std::min(y, y + s.dy) - margin;
  const int w = std::abs(s.dx) + 2 * margin, h = std::abs(s.dy) + 2 * margin;
  cairo_surface_t* image = scratch(w, h);
  if (!image) return std::nullopt;
  // The line is stroked where it stands: cairo places the dashes of a slanted line from
  // its ends, so only the whole-pixel offset of the scratch image may differ.
  cairo_surface_set_device_offset(image, -left, -top);
  cairo_t* cr = cairo_create(image);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  stroke(cr, x, y, x + s.dx, y + s.dy, s.style, s.width, s.unit);
  cairo_destroy(cr);
  const unsigned char* data = coverageOf(image);
  if (!data) {
    cairo_surface_destroy(image);
    return std::nullopt;
  }
  const int stride = cairo_image_surface_get_stride(image);
  const int ox = x - left, oy = y - top;  // the first end in the scratch image
  std::vector<Run> runs;
  PixelRect box{w, h, 0, 0};
  for (int row = 0; row < h; ++row) {
    const unsigned char* p = data + static_cast<ptrdiff_t>(row) * stride;
    for (int i = 0; i < w;) {
      if (!p[i]) {
        ++i;
        continue;
      }
      const int start = i;
      while (i < w && p[i]) ++i;
      runs.push_back({row - oy, start - ox, i - ox});
      box = {std::min(box.x0, start - ox), std::min(box.y0, row - oy), std::max(box.x1, i - ox),
             std::max(box.y1, row - oy + 1)};
    }
  }
  cairo_surface_destroy(image);
  // Runs come row by row; the runs of an upright dotted line are folded column-wise
  // when they are taken in order of their x.
  if (s.dx == 0) std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.x0 < b.x0; });
  Stamp stamp{fold(runs), runs.empty() ? PixelRect{} : box};
  stamp.runs.shrink_to_fit();
  return stamp;
}

}  // namespace

std::optional<Stamp> stampAt(const LineShape& s, int x, int y) { return strokeAsRuns(s, x, y); }

bool stampable(const LineShape& s) {
  const bool solid = s.style == 1 || s.style == 6;
  return solid || s.dx == 0 || s.dy == 0;
}

const Stamp* stampOf(const LineShape& s) {
  thread_local std::unordered_map<LineShape, std::optional<Stamp>, ShapeHash> cache;
  thread_local size_t bytes = 0;
  auto it = cache.find(s);
  if (it == cache.end()) {
    std::optional<Stamp> stamp = strokeAsRuns(s, 0, 0);
    const size_t size = sizeof(LineShape) + sizeof(stamp) + (stamp ? stamp->runs.size() * sizeof(Run) : 0);
    if (bytes + size > kMaxShapeBytes) {
      cache.clear();
      bytes = 0;
    }
    bytes += size;
    it = cache.emplace(s, std::move(stamp)).first;
  }
  return it->second ? &*it->second : nullptr;
}

namespace {

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
  cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(probe);
  selectFont(cr, k.family, k.bold, k.size);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_text_extents_t te;
  cairo_text_extents(cr, k.caption.c_str(), &te);
  cairo_destroy(cr);
  cairo_surface_destroy(probe);

  Text t;
  t.advance = te.x_advance;
  t.ascent = fe.ascent;
  // The ink box with room to spare: anti-aliasing and hinting may reach past it.
  // Worked out in doubles: a caption at a huge size must not overflow an int on the way.
  const double margin = 4 + std::floor(k.size / 4);
  const double x = std::floor(te.x_bearing) - margin, y = std::floor(te.y_bearing) - margin;
  const double width = std::ceil(te.width) + 2 * margin + 1, height = std::ceil(te.height) + 2 * margin + 1;
  const bool fits = te.width >= 0 && te.height >= 0 && width <= kMaxSide && height <= kMaxSide &&
                    std::abs(x) <= kMaxSide && std::abs(y) <= kMaxSide;
  if (fits) {
    t.x = static_cast<int>(x);
    t.y = static_cast<int>(y);
    t.width = static_cast<int>(width);
    t.height = static_cast<int>(height);
  }
  cairo_surface_t* image = fits ? scratch(t.width, t.height) : nullptr;
  if (image) {
    cr = cairo_create(image);
    selectFont(cr, k.family, k.bold, k.size);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, -t.x, -t.y);
    cairo_show_text(cr, k.caption.c_str());
    cairo_destroy(cr);
  }
  const unsigned char* data = image ? coverageOf(image) : nullptr;
  if (!data) {
    if (image) cairo_surface_destroy(image);
    t.width = t.height = 0;
    t.kept = false;
    return t;
  }
  const int stride = cairo_image_surface_get_stride(image);
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
  cairo_surface_destroy(image);
  return kept;
}

}  // namespace

const Text& textOf(std::string_view family, bool bold, double size, std::string_view caption) {
  thread_local std::unordered_map<TextKey, Text, TextKeyHash, TextKeyEqual> cache;
  thread_local size_t bytes = 0;
  auto it = cache.find(TextKeyView(family, bold, size, caption));
  if (it == cache.end()) {
    TextKey key{std::string(family), bold, size, std::string(caption)};
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

void selectFont(cairo_t* cr, const std::string& family, bool bold, double size) {
  cairo_select_font_face(cr, family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

void showText(cairo_t* cr, const std::string& family, bool bold, double size, const std::string& caption, double x,
              double y) {
  selectFont(cr, family, bold, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, caption.c_str());
}

}  // namespace kyv::raster
