#include "control.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "convert.h"
#include "kyv/bag.h"
#include "kyv/error.h"
#include "kyv/render.h"

namespace kyvpy {

namespace {

// Sets up pybind11's NumPy support, once per process; raises ImportError without NumPy.
// pybind11 does it in a C++ static initialisation that imports NumPy: the import runs
// Python code, which lets another thread take the GIL, and that thread, reaching the same
// initialisation, would wait for it while holding the GIL the importing thread needs.
// Here a thread waits for another's set-up with the GIL released, before any control's
// lock is taken.
void requireNumpy() {
  static std::atomic<bool> ready{false};
  static std::once_flag once;
  if (ready.load(std::memory_order_acquire)) return;
  py::gil_scoped_release release;
  std::call_once(once, [] {
    py::gil_scoped_acquire gil;
    py::dtype::of<uint8_t>();
    ready.store(true, std::memory_order_release);
  });
}

// Takes `mutex`, waiting without the GIL when another thread holds it.
std::unique_lock<std::recursive_mutex> lockWithoutBlockingPython(std::recursive_mutex& mutex) {
  std::unique_lock<std::recursive_mutex> lock(mutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    py::gil_scoped_release release;
    lock.lock();
  }
  return lock;
}

// Premultiplied native-endian ARGB words as R, G, B, A bytes of straight alpha.
void toStraightRgba(uint8_t* bytes, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, bytes += 4) {
    uint32_t word;
    std::memcpy(&word, bytes, 4);
    const uint32_t a = word >> 24;
    uint32_t r = (word >> 16) & 0xFF, g = (word >> 8) & 0xFF, b = word & 0xFF;
    if (a != 0 && a != 255) {
      r = (r * 255 + a / 2) / a;
      g = (g * 255 + a / 2) / a;
      b = (b * 255 + a / 2) / a;
    }
    bytes[0] = static_cast<uint8_t>(std::min(r, 255u));
    bytes[1] = static_cast<uint8_t>(std::min(g, 255u));
    bytes[2] = static_cast<uint8_t>(std::min(b, 255u));
    bytes[3] = static_cast<uint8_t>(a);
  }
}

py::list rectangles(const kyv::Region& region, int width, int height) {
  py::list out;
  if (region.isEverything()) {
    out.append(py::make_tuple(0, 0, width, height));
    return out;
  }
  for (const kyv::PixelRect& r : region.rects()) out.append(py::make_tuple(r.x0, r.y0, r.x1, r.y1));
  return out;
}

}  // namespace

// One call into the control: holds the control and its lock for the call's length, and
// raises what a handler raised once the call is over.
class PyControl::Call {
 public:
  Call(PyControl& owner, std::string_view member)
      : owner_(owner), control_(owner.require(member)), lock_(lockWithoutBlockingPython(owner.mutex_)) {}
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  kyv::Control& control() { return *control_; }

  // Raises the handler's exception of this call, if any.
  void finish() {
    if (!owner_.pending_) return;
    py::error_already_set pending = std::move(*owner_.pending_);
    owner_.pending_.reset();
    throw pending;
  }
  // A handler's exception comes first; else the control's error, naming `member`.
  [[noreturn]] void fail(const kyv::Error& error, std::string_view member) {
    finish();
    raiseError(error, member);
  }

 private:
  PyControl& owner_;
  std::shared_ptr<kyv::Control> control_;
  std::unique_lock<std::recursive_mutex> lock_;
};

PyControl::PyControl(std::shared_ptr<kyv::Registry> registry, const std::string& className, std::optional<float> width,
                     std::optional<float> height, const std::optional<std::string>& bagJson)
    : registry_(std::move(registry)) {
  try {
    control_ = std::shared_ptr<kyv::Control>(registry_->create(className));
  } catch (const kyv::Error& e) {
    raiseError(e, "Create");
  }
  kyv::Control& c = *control_;
  listened_.assign(c.classInfo().events().size() + 1, false);
  c.setSite(this);
  const float w = width.value_or(c.classInfo().defaultWidth()), h = height.value_or(c.classInfo().defaultHeight());
  try {
    kyv::Control::checkExtent(w, h);
  } catch (const kyv::Error& e) {
    raiseError(e, "Create");
  }
  const std::string step = bagJson ? "ReadProperties" : "InitProperties";
  try {
    c.UserControl().setRectTwips(0, 0, w, h);
    if (bagJson) {
      kyv::PropertyBag bag = kyv::PropertyBag::fromJson(*bagJson);
      c.ReadProperties(bag);
    } else {
      c.InitProperties();
    }
  } catch (const kyv::Error& e) {
    raiseError(e, step);
  }
  try {
    c.Resize();
  } catch (const kyv::Error& e) {
    raiseError(e, "Resize");
  }
}

PyControl::~PyControl() {
  if (control_) control_->setSite(nullptr);
}

std::shared_ptr<kyv::Control> PyControl::require(std::string_view member) const {
  if (control_) return control_;
  raiseError(kyv::ErrorKind::CannotCreateObject, "Cannot create object: the control has been closed", member);
}

std::string PyControl::memberName(const kyv::Control& control, int index) const {
  const auto& members = control.classInfo().members();
  return index >= 0 && static_cast<size_t>(index) < members.size() ? std::string(members[index].name) : std::string();
}

void PyControl::checkIndex(const kyv::Control& control, int index) const {
  if (index >= 0 && static_cast<size_t>(index) < control.classInfo().members().size()) return;
  raiseError(kyv::ErrorKind::NoSuchMember,
             "Object doesn't support this property or method: no member #" + std::to_string(index), "");
}

py::object PyControl::get(int index) {
  Call call(*this, "get");
  checkIndex(call.control(), index);
  try {
    kyv::Variant v = call.control().invoke(index, kyv::Invoke::Get, nullptr);
    call.finish();
    return fromVariant(v);
  } catch (const kyv::Error& e) {
    call.fail(e, memberName(call.control(), index));
  }
}

void PyControl::put(int index, py::handle value) {
  Call call(*this, "put");
  checkIndex(call.control(), index);
  const kyv::MemberInfo& info = call.control().classInfo().members()[index];
  kyv::Variant v = toVariant(value, info.type, info.name);
  try {
    call.control().invoke(index, kyv::Invoke::Put, &v);
  } catch (const kyv::Error& e) {
    call.fail(e, info.name);
  }
  layoutDue_ = layoutDue_ || info.takesEffectAtLayout;
  call.finish();
}

// A layout raises no event: nothing waits to be raised after it.
void PyControl::layOutIfDue(Call& call) {
  if (!layoutDue_) return;
  layoutDue_ = false;
  kyv::Control& c = call.control();
  try {
    c.setExtent(c.UserControl().widthTwips(), c.UserControl().heightTwips());
  } catch (const kyv::Error& e) {
    call.fail(e, "Resize");
  }
}

py::object PyControl::call(int index, py::handle value, py::object* writtenBack) {
  Call call(*this, "call");
  checkIndex(call.control(), index);
  layOutIfDue(call);
  const kyv::MemberInfo& info = call.control().classInfo().members()[index];
  kyv::Variant arg = value ? toVariant(value, info.argType, info.name) : kyv::Variant();
  try {
    kyv::Variant result = call.control().invoke(index, kyv::Invoke::Call, &arg);
    call.finish();
    if (writtenBack) *writtenBack = fromVariant(arg);
    return fromVariant(result);
  } catch (const kyv::Error& e) {
    call.fail(e, info.name);
  }
}

void PyControl::listen(int number, bool on) {
  if (number < 1 || static_cast<size_t>(number) >= listened_.size())
    raiseError(kyv::ErrorKind::NoSuchMember, "Object doesn't support this event: #" + std::to_string(number), "");
  listened_[number] = on;
}

void PyControl::eventRaised(kyv::Control&, const kyv::EventInfo& event) {
  if (event.number < 1 || static_cast<size_t>(event.number) >= listened_.size() || !listened_[event.number]) return;
  if (pending_) return;
  // Events come inside a call made with the GIL held; a handler's exception waits for the
  // end of that call and never unwinds through the control.
  try {
    py::object self = py::cast(this, py::return_value_policy::reference);
    self.attr("_dispatch")(event.number);
  } catch (py::error_already_set& e) {
    pending_.emplace(std::move(e));
  }
}

std::pair<float, float> PyControl::extent() {
  Call call(*this, "extent");
  const kyv::Surface& s = call.control().UserControl();
  return {s.widthTwips(), s.heightTwips()};
}

void PyControl::resize(float width, float height) {
  Call call(*this, "Resize");
  try {
    call.control().setExtent(width, height);
    layoutDue_ = false;
  } catch (const kyv::Error& e) {
    call.fail(e, "Resize");
  }
  call.finish();
}

std::pair<int, int> PyControl::pictureSize(const kyv::Control& control, double tpp) const {
  if (!(tpp >= kyv::kMinTwipsPerPixel && tpp <= kyv::kMaxTwipsPerPixel))
    raiseError(kyv::ErrorKind::InvalidPropertyValue,
               "Invalid property value: a scale of " + std::to_string(tpp) + " twips per pixel is outside 0.15 to 1500",
               "Paint");
  const kyv::Surface& s = control.UserControl();
  const double w = std::max(1.0, std::ceil(s.widthTwips() / tpp));
  const double h = std::max(1.0, std::ceil(s.heightTwips() / tpp));
  if (w > kyv::kMaxPictureSide || h > kyv::kMaxPictureSide || w * h > kyv::kMaxPicturePixels)
    raiseError(kyv::ErrorKind::InvalidPropertyValue,
               "Invalid property value: a picture of " + std::to_string(static_cast<long long>(w)) + " x " +
                   std::to_string(static_cast<long long>(h)) + " pixels is beyond the renderer's limits",
               "Paint");
  return {static_cast<int>(w), static_cast<int>(h)};
}

py::array_t<uint8_t> PyControl::toArray(double tpp, bool rgba) {
  requireNumpy();
  Call call(*this, "Paint");
  layOutIfDue(call);
  const auto [w, h] = pictureSize(call.control(), tpp);
  py::array_t<uint8_t> pixels({static_cast<py::ssize_t>(h), static_cast<py::ssize_t>(w), py::ssize_t{4}});
  uint8_t* bits = pixels.mutable_data();
  std::optional<kyv::Error> error;
  {
    py::gil_scoped_release release;
    std::memset(bits, 0, static_cast<size_t>(w) * h * 4);
    try {
      kyv::renderToPixels(call.control(), bits, w, h, w * 4, tpp);
      if (rgba) toStraightRgba(bits, static_cast<size_t>(w) * h);
    } catch (const kyv::Error& e) {
      error = e;
    }
  }
  if (error) call.fail(*error, "Paint");
  return pixels;
}

py::bytes PyControl::toPng(double tpp) {
  Call call(*this, "Paint");
  layOutIfDue(call);
  pictureSize(call.control(), tpp);
  std::string png;
  std::optional<kyv::Error> error;
  {
    py::gil_scoped_release release;
    try {
      png = kyv::renderToPng(call.control(), tpp);
    } catch (const kyv::Error& e) {
      error = e;
    }
  }
  if (error) call.fail(*error, "Paint");
  return py::bytes(png);
}

void PyControl::save(const std::string& path, double tpp) {
  Call call(*this, "Paint");
  layOutIfDue(call);
  pictureSize(call.control(), tpp);
  std::optional<kyv::Error> error;
  {
    py::gil_scoped_release release;
    try {
      kyv::renderToFile(call.control(), path, tpp);
    } catch (const kyv::Error& e) {
      error = e;
    }
  }
  if (error) call.fail(*error, "Paint");
}

py::list PyControl::paint(py::handle target, double tpp, bool onlyDamage) {
  using Pixels = py::array_t<uint8_t, py::array::c_style>;
  requireNumpy();
  if (!Pixels::check_(target)) {
    std::string given = target.is_none() ? std::string("None") : std::string("a ") + Py_TYPE(target.ptr())->tp_name;
    if (py::isinstance<py::array>(target)) {
      auto array = py::reinterpret_borrow<py::array>(target);
      given = "an array of " + std::string(py::str(array.dtype())) +
              (array.flags() & py::array::c_style ? "" : " that is not C-ordered");
    }
    throw py::type_error("paint takes a C-ordered NumPy array of uint8, not " + given);
  }
  auto pixels = py::reinterpret_borrow<Pixels>(target);
  Call call(*this, "Paint");
  layOutIfDue(call);
  if (pixels.ndim() != 3 || pixels.shape(2) != 4 || pixels.shape(0) < 1 || pixels.shape(1) < 1)
    raiseError(kyv::ErrorKind::InvalidPropertyValue,
               "Invalid property value: paint takes a height x width x 4 array of uint8", "Paint");
  pictureSize(call.control(), tpp);
  const int h = static_cast<int>(std::min<py::ssize_t>(pixels.shape(0), kyv::kMaxPictureSide));
  const int w = static_cast<int>(std::min<py::ssize_t>(pixels.shape(1), kyv::kMaxPictureSide));
  kyv::RenderOptions options;
  options.twipsPerPixel = tpp;
  options.onlyDamage = onlyDamage;
  return renderPixels(call, pixels.mutable_data(), w, h, w * 4, options);
}

py::list PyControl::renderPixels(Call& call, uint8_t* bits, int width, int height, int stride,
                                 const kyv::RenderOptions& options) {
  // What the paint covers: the damage when only that is painted, else the whole picture.
  kyv::Region painted = options.onlyDamage ? call.control().damage() : kyv::Region::everything();
  std::optional<kyv::Error> error;
  {
    py::gil_scoped_release release;
    try {
      kyv::PixelTarget target(bits, width, height, stride);
      kyv::render(call.control(), target, 0, 0, options);
    } catch (const kyv::Error& e) {
      error = e;
    }
  }
  if (error) call.fail(*error, "Paint");
  return rectangles(painted, width, height);
}

py::list PyControl::paintBuffer(py::buffer pixels, int width, int height, int stride, double tpp, bool onlyDamage,
                                const std::optional<std::vector<uint32_t>>& palette) {
  py::buffer_info buffer = pixels.request(true);
  Call call(*this, "Paint");
  layOutIfDue(call);
  const auto size = static_cast<py::ssize_t>(stride) * height;
  if (width < 1 || height < 1 || stride < width * 4 || buffer.itemsize * buffer.size < size)
    raiseError(kyv::ErrorKind::InvalidPropertyValue,
               "Invalid property value: a buffer of " + std::to_string(buffer.itemsize * buffer.size) +
                   " bytes does not hold " + std::to_string(height) + " rows of " + std::to_string(stride) + " bytes",
               "Paint");
  pictureSize(call.control(), tpp);
  kyv::Palette colours{};
  if (palette) {
    if (palette->size() != colours.size())
      raiseError(kyv::ErrorKind::InvalidPropertyValue,
                 "Invalid property value: a palette holds " + std::to_string(colours.size()) + " colours", "Paint");
    std::copy(palette->begin(), palette->end(), colours.begin());
  }
  kyv::RenderOptions options;
  options.twipsPerPixel = tpp;
  options.onlyDamage = onlyDamage;
  options.palette = palette ? &colours : nullptr;
  return renderPixels(call, static_cast<uint8_t*>(buffer.ptr), width, height, stride, options);
}

py::list PyControl::damage() {
  Call call(*this, "damage");
  layOutIfDue(call);
  const auto [w, h] = pictureSize(call.control(), kyv::kReferenceTwipsPerPixel);
  return rectangles(call.control().damage(), w, h);
}

std::string PyControl::saveProperties() {
  Call call(*this, "WriteProperties");
  kyv::PropertyBag bag;
  try {
    call.control().WriteProperties(bag);
  } catch (const kyv::Error& e) {
    call.fail(e, "WriteProperties");
  }
  call.finish();
  return bag.toJson();
}

void PyControl::close() {
  if (!control_) return;
  auto lock = lockWithoutBlockingPython(mutex_);
  control_->setSite(nullptr);
  // A call under way keeps its own reference: the control ends when that call returns.
  control_.reset();
}

}  // namespace kyvpy
