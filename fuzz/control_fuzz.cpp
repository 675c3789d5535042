// Fuzz target: a property bag restored into every registered control. Each input that
// reads as a bag is restored into a new instance of each class (ReadProperties, then
// Resize; errors are the control's answer), which is painted and saved. That save must
// read back into another new instance without an error, paint, and save again to the very
// same text: what a control saves is what it restores.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "kyv/bag.h"
#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/render.h"
#include "registered.h"

namespace {

[[noreturn]] void fault(const std::string& className, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", className.c_str(), what.c_str());
  std::abort();
}

void paint(kyv::Control& control) {
  const kyv::Surface& s = control.UserControl();
  const int width = static_cast<int>(s.widthTwips() / kyv::kReferenceTwipsPerPixel) + 1;
  const int height = static_cast<int>(s.heightTwips() / kyv::kReferenceTwipsPerPixel) + 1;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  kyv::renderToPixels(control, pixels.data(), width, height, width * 4);
}

// A new instance of `className` restored from `bag`, painted; its save as JSON. `restored`
// tells whether ReadProperties raised nothing.
std::string restoreAndSave(const std::string& className, kyv::PropertyBag bag, bool& restored) {
  kyv::ControlPtr control = fuzz::registered().registry.create(className);
  restored = true;
  try {
    control->ReadProperties(bag);
  } catch (const kyv::Error&) {
    restored = false;
  }
  try {
    control->Resize();
  } catch (const kyv::Error&) {
  }
  paint(*control);
  kyv::PropertyBag saved;
  try {
    control->WriteProperties(saved);
  } catch (const kyv::Error& e) {
    fault(className, std::string("cannot save: ") + e.what());
  }
  return saved.toJson();
}

// Restores `save` into a new instance, which must read it without an error and save it
// again as it was.
void mustRestore(const std::string& className, const std::string& save) {
  bool restored = false;
  const std::string again = restoreAndSave(className, kyv::PropertyBag::fromJson(save), restored);
  if (!restored) fault(className, "its own save " + save + " does not read back");
  if (again != save) fault(className, "saved " + save + ", restored that and saved " + again);
}

// Whether `bag` stores some key more than once (keys compare without regard to case).
bool repeatsAKey(const kyv::PropertyBag& bag) {
  std::set<std::string> keys;
  for (const auto& entry : bag.entries()) {
    std::string key = entry.key;
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!keys.insert(std::move(key)).second) return true;
  }
  return false;
}

}  // namespace

// Two kinds of bag may leave a state that no bag holds, as the rules of a bag have it: one
// that stores a key fewer times than the control reads it (the reads take its values in
// turn, while a save leaves out the values equal to their default), and one whose restore
// failed part way (the reads before the failure applied, the later ones not). Their save
// is restored once more, and that state must save the same from then on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kyv::PropertyBag bag;
  try {
    bag = kyv::PropertyBag::fromJson(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const kyv::Error&) {
    return 0;
  }
  const bool repeats = repeatsAKey(bag);
  for (const std::string& className : fuzz::registered().classes) {
    if (!fuzz::registered().creates(className)) continue;
    bool restored = false;
    std::string save = restoreAndSave(className, bag, restored);
    if (repeats || !restored) {
      bool again = false;
      save = restoreAndSave(className, kyv::PropertyBag::fromJson(save), again);
    }
    mustRestore(className, save);
  }
  return 0;
}
