#pragma once
// PyControl: one Kyv control as Python sees it. It creates the control through a registry,
// runs its lifecycle, reaches its members by index, paints it and hears its events.
//
// Threads: every call takes the control's lock, so a control may be used from several
// threads; calls on one control run one at a time. Painting runs with the GIL released; a
// thread waiting for the lock waits without the GIL, so no thread blocks another's Python.
//
// Events: the control's site calls the Python object's _dispatch(number) for the events
// it listens to (listen), inside the raising call. The first exception a handler raises
// ends the dispatch of that call's later events and is raised again, to the caller of
// the method that raised the event, when that method returns (before any error of its own).
//
// Closing: close() ends the control; one under way (a handler closing its own control)
// finishes its call first. Every later call raises kyv.CannotCreateObject.
//
// Layout: after a write to a property the control takes up only at its next layout
// (MemberInfo::takesEffectAtLayout), the control lays itself out (Resize at its extent)
// before it is next fed, called or painted, as the Qt widgets do at once.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kyv/control.h"
#include "kyv/registry.h"
#include "kyv/render.h"
#include "kyv/site.h"

namespace kyvpy {

namespace py = pybind11;

class PyControl final : public kyv::Site {
 public:
  // Creates an instance of `className` with the extent `width` x `height` twips (the class's
  // default when either is not given), restored from the bag in `bagJson` or initialised.
  // Raises kyv.CannotCreateObject, or the error of the failing lifecycle step.
  PyControl(std::shared_ptr<kyv::Registry> registry, const std::string& className, std::optional<float> width,
            std::optional<float> height, const std::optional<std::string>& bagJson);
  ~PyControl() override;
  PyControl(const PyControl&) = delete;
  PyControl& operator=(const PyControl&) = delete;

  // Member `index` (in interface order): read, write, or call with one argument (none when
  // `value` is null); call returns the result, and puts the argument as the method left it
  // in `writtenBack` when that is given.
  py::object get(int index);
  void put(int index, py::handle value);
  py::object call(int index, py::handle value, py::object* writtenBack = nullptr);

  // Whether the Python object hears event `number` (from 1).
  void listen(int number, bool on);

  // The extent in twips, and a new one (the control's Resize runs).
  std::pair<float, float> extent();
  void resize(float width, float height);

  // Pictures at `twipsPerPixel`: an array of height x width x 4 bytes (RGBA straight alpha,
  // or the renderer's own premultiplied BGRA when `rgba` is false), a PNG file's bytes, a
  // file whose format follows its extension.
  py::array_t<uint8_t> toArray(double twipsPerPixel, bool rgba);
  py::bytes toPng(double twipsPerPixel);
  void save(const std::string& path, double twipsPerPixel);
  // Paints into `pixels` (height x width x 4 bytes, C order, the renderer's BGRA layout),
  // which must hold the last paint when `onlyDamage` is set; returns the painted rectangles.
  // Any other object raises TypeError; it is taken as any object, and checked here, so that
  // NumPy's support is set up as toArray sets it up (see control.cpp).
  py::list paint(py::handle pixels, double twipsPerPixel, bool onlyDamage);
  // The same into any writable buffer of `height` rows of `stride` bytes, `width` pixels a
  // row in the same layout (a QImage's bits, Format_ARGB32_Premultiplied), with system
  // colours resolved through `palette` (31 colours 0x00BBGGRR; the system palette when not
  // given). A buffer too small for that raises kyv.InvalidPropertyValue.
  py::list paintBuffer(py::buffer pixels, int width, int height, int stride, double twipsPerPixel, bool onlyDamage,
                       const std::optional<std::vector<uint32_t>>& palette);
  // What changed since the last paint: (x0, y0, x1, y1) device pixels of that paint; the
  // whole picture at the reference scale before the first paint.
  py::list damage();

  // The bag WriteProperties fills, as its JSON document.
  std::string saveProperties();

  void close();
  bool closed() const { return !control_; }

  void eventRaised(kyv::Control& control, const kyv::EventInfo& event) override;

 private:
  class Call;
  std::shared_ptr<kyv::Control> require(std::string_view member) const;
  // Lays the control out when a write asked for it since its last layout.
  void layOutIfDue(Call& call);
  // Renders into `bits` (`height` rows of `stride` bytes) without the GIL; returns the
  // painted rectangles.
  py::list renderPixels(Call& call, uint8_t* bits, int width, int height, int stride,
                        const kyv::RenderOptions& options);
  std::string memberName(const kyv::Control& control, int index) const;
  void checkIndex(const kyv::Control& control, int index) const;
  // The picture's size in device pixels at `twipsPerPixel`; raises for a scale or a size
  // beyond the renderer's limits.
  std::pair<int, int> pictureSize(const kyv::Control& control, double twipsPerPixel) const;

  std::shared_ptr<kyv::Registry> registry_;
  std::shared_ptr<kyv::Control> control_;
  std::recursive_mutex mutex_;
  std::vector<bool> listened_;                    // by event number
  std::optional<py::error_already_set> pending_;  // raised by a handler during the call
  bool layoutDue_ = false;                        // a write waits for the next layout
};

}  // namespace kyvpy
