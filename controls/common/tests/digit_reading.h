#pragma once
// Test helpers for the multi-digit displays: what the digits show, read back from their
// segments, and a site that records notifications.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kyv/control.h"
#include "kyv/elements.h"
#include "kyv/site.h"

namespace digittest {

// The segments each digit lights, seg(0) first: UR LR B LL UL T M.
inline const char* const kLit[10] = {"XXXXXX.", "XX.....", "X.XX.XX", "XXX..XX", "XX..X.X",
                                     ".XX.XXX", ".XXXXXX", "XX...X.", "XXXXXXX", "XX..XXX"};

// The digit an embedded single-digit control shows, '?' for no digit's pattern.
inline char shownBy(kyv::Control& digit) {
  std::string lit;
  for (const kyv::Element* e : digit.UserControl().elements())
    if (e->name() == "seg") lit += e->Visible() ? 'X' : '.';
  for (int v = 0; v < 10; ++v)
    if (lit == kLit[v]) return static_cast<char>('0' + v);
  return '?';
}

// What a display shows, digit(0) first.
template <class Display>
std::string shown(const Display& display) {
  std::string s;
  for (int i = 0; i < display.digit.Count(); ++i) s += shownBy(*display.digit(i).control());
  return s;
}

// The display a reader expects for `v` on `width` digits: right-aligned, leading zeros,
// "-" as 0; empty when the text does not fit.
inline std::string expected(int64_t v, int width) {
  std::string text = std::to_string(v);
  if (static_cast<int>(text.size()) > width) return {};
  if (text[0] == '-') text[0] = '0';
  return std::string(width - text.size(), '0') + text;
}

struct Notes : kyv::Site {
  std::vector<std::string> changed;
  void propertyChanged(kyv::Control&, std::string_view p) override { changed.emplace_back(p); }
  std::vector<std::string> take() { return std::exchange(changed, {}); }
};

}  // namespace digittest
