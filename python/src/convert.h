#pragma once
// Values between Python and kyv::Variant, and kyv::Error as the Python exception of its kind.
#include <pybind11/pybind11.h>

#include <string_view>

#include "kyv/error.h"
#include "kyv/variant.h"

namespace kyvpy {

namespace py = pybind11;

// `value` as a Variant for a member of type `target`: bool (1 or 0 for a number, a type
// mismatch for a Colour), int (any size: one beyond the Long range arrives as a Double, and
// the member reports overflow), float, str, or an object with __index__ or __float__ (NumPy
// scalars). An int from 0 to 0xFFFFFFFF for a Colour is that colour's bits; any other value
// for a Colour goes through kyv.Color ("#rrggbb", (r, g, b), a QColor). None and other
// objects raise kyv.TypeMismatch naming `member`.
kyv::Variant toVariant(py::handle value, kyv::VarType target, std::string_view member);

// `value` as Python: None, int, float, bool, str, or a kyv.Color for a colour.
py::object fromVariant(const kyv::Variant& value);

// The Python classes of the error kinds, set once by the package (kind number -> class).
void setErrorClasses(py::dict classes);
// kyv.Color, set once by the package: colours are read as it and written through it.
void setColorClass(py::object cls);

// Sets the Python exception of `error`'s kind (carrying kind, number, member and message)
// and throws py::error_already_set.
[[noreturn]] void raiseError(const kyv::Error& error, std::string_view member);
[[noreturn]] void raiseError(kyv::ErrorKind kind, const std::string& message, std::string_view member);

}  // namespace kyvpy
