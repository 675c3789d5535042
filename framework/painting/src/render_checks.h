#pragma once
// The arguments a render refuses, each with invalid-property-value.
#include <cstdint>

namespace kyv::paint {

// A scale outside kMinTwipsPerPixel .. kMaxTwipsPerPixel.
void checkScale(double tpp);
// A picture beyond the limits (pictureBeyondLimits).
void checkPicture(double width, double height, double maxPixels);
// Caller-owned pixels: a null buffer, a size below 1 or beyond the limits, a stride that
// does not fit.
void checkPixels(const uint8_t* bits, int width, int height, int stride);

}  // namespace kyv::paint
