// Fuzz target: a property bag restored into every registered control. Each input that
// reads as a bag is restored into a new instance of each class (ReadProperties, then
// Resize; errors are the control's answer), which is painted and saved. That save must
// read back into another new instance without an error, paint, and save again to the very
// same text: what a control saves is what it restores.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

// A restore that failed part way may leave a state that no bag holds (of a key read
// several times, the reads before the failure applied and the later ones not, while a
// bag that stores the key fewer times, its defaults left out, reads back its values in
// turn): its save is restored once more, and that state must save the same from then on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kyv::PropertyBag bag;
  try {
    bag = kyv::PropertyBag::fromJson(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const kyv::Error&) {
    return 0;
  }
  for (const std::string& className : fuzz::registered().classes) {
    if (!fuzz::registered().creates(className)) continue;
    bool restored = false;
    std::string save = restoreAndSave(className, bag, restored);
    if (!restored) {
      bool again = false;
      save = restoreAndSave(className, kyv::PropertyBag::fromJson(save), again);
    }
    mustRestore(className, save);
  }
  return 0;
}
