// kyv._kyv: the framework as the kyv package uses it. The package builds the pythonic layer
// (typed classes, events, errors, forms) on these few calls.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>

#include "control.h"
#include "convert.h"
#include "kyv/bag.h"
#include "kyv/class_info.h"
#include "kyv/error.h"
#include "kyv/palette.h"
#include "kyv/registry.h"
#include "kyv/render.h"
#include "kyv/version.h"
#include "method.h"

namespace py = pybind11;
using kyvpy::PyControl;

namespace {

py::str typeText(kyv::VarType type) { return py::str(std::string(kyv::typeName(type))); }

py::dict describeMember(const kyv::MemberInfo& m) {
  py::dict d;
  d["name"] = std::string(m.name);
  d["kind"] = m.kind == kyv::MemberKind::Property ? "property" : "method";
  d["type"] = typeText(m.type);
  d["id"] = m.id;
  d["help"] = std::string(m.help);
  d["arg_type"] = m.argType == kyv::VarType::Empty ? py::object(py::none()) : py::object(typeText(m.argType));
  d["note"] = std::string(m.note);
  d["layout"] = m.takesEffectAtLayout;
  return d;
}

py::list describeStored(const std::vector<kyv::StoredInfo>& rows) {
  py::list out;
  for (const kyv::StoredInfo& s : rows) {
    py::dict d;
    d["key"] = std::string(s.key);
    d["default"] = kyvpy::fromVariant(s.fallback);
    d["default_text"] = s.fallback.display();
    d["type"] = typeText(s.type);
    d["reads"] = s.reads;
    d["writes"] = s.writes;
    d["entries"] = std::string(s.entries);
    out.append(d);
  }
  return out;
}

// Everything the class's table publishes, as plain Python values.
py::dict describe(kyv::Registry& registry, const std::string& className) {
  py::dict d;
  try {
    registry.describe(className, [&](const kyv::ClassInfo& info) {
      d["class_name"] = std::string(info.className());
      d["default_extent"] = py::make_tuple(info.defaultWidth(), info.defaultHeight());
      d["minimum_extent"] = py::make_tuple(info.minimumWidth(), info.minimumHeight());
      py::list members, events;
      for (const kyv::MemberInfo& m : info.members()) members.append(describeMember(m));
      for (const kyv::EventInfo& e : info.events()) {
        py::dict ev;
        ev["name"] = std::string(e.name);
        ev["number"] = e.number;
        ev["help"] = std::string(e.help);
        events.append(ev);
      }
      d["members"] = members;
      d["events"] = events;
      d["stored"] = describeStored(info.storedReadOrder());
      d["stored_write_order"] = describeStored(info.storedWriteOrder());
    });
  } catch (const kyv::Error& e) {
    kyvpy::raiseError(e, "Create");
  }
  return d;
}

py::list classes(kyv::Registry& registry) {
  py::list out;
  try {
    for (const kyv::RegisteredClass& c : registry.registeredClasses())
      out.append(py::make_tuple(c.className, c.library, c.path));
  } catch (const kyv::Error& e) {
    kyvpy::raiseError(e, "Create");
  }
  return out;
}

// The JSON documents as the framework reads them, checked and written back in its form.
std::string checkedBag(const std::string& text) {
  try {
    return kyv::PropertyBag::fromJson(text).toJson();
  } catch (const kyv::Error& e) {
    kyvpy::raiseError(e, "ReadProperties");
  }
}

std::string checkedForm(const std::string& text) {
  try {
    return kyv::FormDocument::fromJson(text).toJson();
  } catch (const kyv::Error& e) {
    kyvpy::raiseError(e, "ReadProperties");
  }
}

void setSystemPalette(const std::vector<uint32_t>& colours) {
  kyv::Palette palette{};
  if (colours.size() != palette.size())
    kyvpy::raiseError(kyv::ErrorKind::InvalidPropertyValue,
                      "Invalid property value: a palette holds " + std::to_string(palette.size()) + " colours, not " +
                          std::to_string(colours.size()),
                      "set_system_palette");
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = colours[i] & 0x00FFFFFFu;
  kyv::setSystemPalette(palette);
}

}  // namespace

PYBIND11_MODULE(_kyv, m) {
  m.doc() = "Kyv's framework for the kyv package.";
  m.attr("REFERENCE_TWIPS_PER_PIXEL") = kyv::kReferenceTwipsPerPixel;
  m.attr("__version__") = KYV_VERSION_STRING;

  m.def("_set_error_classes", &kyvpy::setErrorClasses);
  m.def("_set_color_class", &kyvpy::setColorClass);
  m.def("kind_name", [](int number) { return std::string(kyv::kindName(static_cast<kyv::ErrorKind>(number))); });
  m.def("checked_bag", &checkedBag, "The bag JSON document `text` as the framework writes it.");
  m.def("checked_form", &checkedForm, "The form JSON document `text` as the framework writes it.");
  m.def("default_registration_file", &kyv::Registry::defaultRegistrationFile);
  m.def("system_palette", [] {
    const kyv::Palette& p = kyv::systemPalette();
    return std::vector<uint32_t>(p.begin(), p.end());
  });
  m.def("set_system_palette", &setSystemPalette);

  py::class_<kyv::Registry, std::shared_ptr<kyv::Registry>>(m, "Registry")
      .def(py::init<std::string>(), py::arg("registration_file") = std::string())
      .def_property_readonly("registration_file", &kyv::Registry::registrationFile)
      .def("classes", &classes)
      .def("describe", &describe)
      .def("loaded_libraries", &kyv::Registry::loadedLibraries);

  py::class_<PyControl> control(m, "Control", py::dynamic_attr());
  control
      .def(py::init<std::shared_ptr<kyv::Registry>, const std::string&, std::optional<float>, std::optional<float>,
                    const std::optional<std::string>&>(),
           py::arg("registry"), py::arg("class_name"), py::arg("width") = py::none(), py::arg("height") = py::none(),
           py::arg("bag_json") = py::none())
      .def("_get", &PyControl::get)
      .def("_put", &PyControl::put)
      .def("_listen", &PyControl::listen)
      .def("_extent", &PyControl::extent)
      .def("_resize", &PyControl::resize)
      .def("_to_array", &PyControl::toArray)
      .def("_to_png", &PyControl::toPng)
      .def("_save", &PyControl::save)
      .def("_paint", &PyControl::paint, py::arg("pixels"), py::arg("twips_per_pixel"), py::arg("only_damage"))
      .def("_paint_buffer", &PyControl::paintBuffer, py::arg("pixels"), py::arg("width"), py::arg("height"),
           py::arg("stride"), py::arg("twips_per_pixel"), py::arg("only_damage"), py::arg("palette") = py::none())
      .def("_damage", &PyControl::damage)
      .def("_save_properties", &PyControl::saveProperties)
      .def("close", &PyControl::close, "Ends the control; later calls raise kyv.CannotCreateObject.")
      .def_property_readonly("closed", &PyControl::closed);
  kyvpy::addMethodType(m, control);
}
