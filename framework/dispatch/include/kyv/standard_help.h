#pragma once
// The help lines of the standard properties, worded the same in every control that has one.
#include <string_view>

namespace kyv::help {

inline constexpr std::string_view kBackColor =
    "Returns/sets the background color used to display text and graphics in an object.";
inline constexpr std::string_view kBorderColor = "Returns/sets the color of an object's border.";
inline constexpr std::string_view kBorderStyle = "Returns/sets the border style for an object.";
inline constexpr std::string_view kFillColor = "Returns/sets the color used to fill in shapes, circles, and boxes.";

}  // namespace kyv::help
