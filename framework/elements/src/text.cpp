#include "kyv/text.h"

#include "text_layout.h"

namespace kyv::text {
namespace {

Engine installed{};

}  // namespace

void install(const Engine& e) { installed = e; }

// The painting layer installs its engine while the library loads (a static initializer
// of text_measure.cpp), before any program can ask.
const Engine& engine() { return installed; }

}  // namespace kyv::text

namespace kyv {

TextSize measureText(std::string_view text, const std::string& family, int weight, float points) {
  return text::engine().measure(text, family, weight, points);
}

}  // namespace kyv
