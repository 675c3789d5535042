#pragma once
// kyv._kyv.Method: a control method as a method descriptor of a typed class. Called on an
// instance (bar.incbar(120)) it goes straight to the control through vectorcall, with no
// bound method made and no Python frame: feeding a value costs about what a built-in
// method call does. Its argument may be given by keyword (incbar(value=5)); its
// __signature__ serves inspect.signature and help(). A kyv.Ref argument is passed by
// reference: the method's write-back lands in its value.
#include <pybind11/pybind11.h>

namespace kyvpy {

namespace py = pybind11;

// Adds the Method type to `module`; `control` is the Control class instances must be of.
void addMethodType(py::module_& module, py::handle control);

}  // namespace kyvpy
