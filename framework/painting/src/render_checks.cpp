#include "render_checks.h"

#include <cairo.h>

#include <string>

#include "kyv/error.h"
#include "kyv/render.h"

namespace kyv::paint {

void checkScale(double tpp) {
  if (tpp >= kMinTwipsPerPixel && tpp <= kMaxTwipsPerPixel) return;
  raise(ErrorKind::InvalidPropertyValue, "Invalid property value: " + formatNumber(tpp) +
                                             " twips per pixel is not a scale from " + formatNumber(kMinTwipsPerPixel) +
                                             " to " + formatNumber(kMaxTwipsPerPixel));
}

void checkPicture(double width, double height, double maxPixels) {
  const std::string refused = pictureBeyondLimits(width, height, maxPixels);
  if (!refused.empty()) raise(ErrorKind::InvalidPropertyValue, refused);
}

void checkPixels(const uint8_t* bits, int width, int height, int stride) {
  if (!bits || width < 1 || height < 1)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: no pixels to render into");
  checkPicture(width, height, static_cast<double>(kMaxPictureSide) * kMaxPictureSide);
  if (stride < cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width) || stride % 4 != 0)
    raise(ErrorKind::InvalidPropertyValue, "Invalid property value: a stride of " + std::to_string(stride) +
                                               " bytes does not fit " + std::to_string(width) + " pixels a row");
}

}  // namespace kyv::paint
