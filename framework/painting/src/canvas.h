#pragma once
// The two canvases the painter draws through: a direct one that writes the pixels of a
// plain 32-bit image itself (exactly the pixels cairo sets, many times faster) and hands
// cairo what it cannot copy, and a cairo one for SVG, PDF and any other context.
//
// Every primitive takes the rectangles it may draw in. They may overlap for fills and
// lines, which set the same pixels however often they are drawn; text, which blends,
// gets rectangles that do not overlap.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "geometry.h"
#include "kyv/region.h"
#include "raster.h"

namespace kyv::paint {

struct Clips {
  const PixelRect* rects;
  size_t count;
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  // Fills `r` with the opaque colour 0x00BBGGRR.
  virtual void fill(const PixelRect& r, uint32_t bgr, Clips clips) = 0;
  virtual void line(const DeviceLine& l, uint32_t bgr, Clips clips) = 0;
  virtual void text(const PlacedText& t, const std::string& family, const std::string& caption, uint32_t bgr,
                    Clips clips) = 0;
  // Where the canvas can draw at all, in the control's device pixels.
  virtual PixelRect bounds() const = 0;
};

// Gives the direct canvas a cairo context over the same pixels for what it cannot draw
// itself, made when first needed.
class CairoFallback {
 public:
  virtual ~CairoFallback() = default;
  // A context whose user space is the image's pixels; the canvas places its own origin.
  virtual cairo_t* context() = 0;
};

// The pixels of a plain 32-bit image (cairo's ARGB32 or RGB24): the control's device
// pixel (0, 0) at `origin` of the image, `bounds` what may be drawn (control pixels).
class PixelCanvas final : public Canvas {
 public:
  PixelCanvas(unsigned char* data, int stride, int originX, int originY, const PixelRect& bounds,
              CairoFallback& fallback);
  ~PixelCanvas() override;
  PixelCanvas(const PixelCanvas&) = delete;
  PixelCanvas& operator=(const PixelCanvas&) = delete;

  void fill(const PixelRect& r, uint32_t bgr, Clips clips) override;
  void line(const DeviceLine& l, uint32_t bgr, Clips clips) override;
  void text(const PlacedText& t, const std::string& family, const std::string& caption, uint32_t bgr,
            Clips clips) override;
  PixelRect bounds() const override { return bounds_; }

 private:
  uint32_t* row(int y) const {
    return reinterpret_cast<uint32_t*>(data_ + static_cast<ptrdiff_t>(y + originY_) * stride_) + originX_;
  }
  void fillRect(const PixelRect& r, uint32_t argb);
  void stamp(const raster::Stamp& s, int x, int y, const PixelRect& clip, uint32_t argb);
  // Stamps `s` with its first end at (x, y) within each of `clips`.
  void stampWithin(const raster::Stamp& s, int x, int y, Clips clips, uint32_t argb);
  // Runs `draw` on the fallback context, clipped to each rectangle.
  template <class Draw>
  void onCairo(Clips clips, Draw&& draw);

  unsigned char* data_;
  int stride_;
  int originX_, originY_;
  PixelRect bounds_;
  CairoFallback& fallback_;
  bool usedCairo_ = false;
  raster::LineShape lastShape_{};
  const raster::Stamp* lastStamp_ = nullptr;
};

// Draws with cairo into any context whose user space is the control's device pixels.
class CairoCanvas final : public Canvas {
 public:
  explicit CairoCanvas(cairo_t* cr);
  ~CairoCanvas() override;
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  void fill(const PixelRect& r, uint32_t bgr, Clips clips) override;
  void line(const DeviceLine& l, uint32_t bgr, Clips clips) override;
  void text(const PlacedText& t, const std::string& family, const std::string& caption, uint32_t bgr,
            Clips clips) override;
  PixelRect bounds() const override;

 private:
  // Clips to `r`, keeping the clip already in force for consecutive calls with the same one.
  void clipTo(const PixelRect& r);
  cairo_t* cr_;
  PixelRect clip_;
  bool clipped_ = false;
};

// Sets the source of `cr` to the colour 0x00BBGGRR.
void setColour(cairo_t* cr, uint32_t bgr);

}  // namespace kyv::paint
