#include "convert.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace kyvpy {

namespace {

py::dict& errorClasses() {
  static py::dict* classes = new py::dict();  // lives as long as the interpreter
  return *classes;
}

py::object& colorClass() {
  static py::object* cls = new py::object();  // kyv.Color, set by the package
  return *cls;
}

bool isNumber(kyv::VarType type) {
  return type == kyv::VarType::Integer || type == kyv::VarType::Long || type == kyv::VarType::Single ||
         type == kyv::VarType::Double;
}

// A colour given as kyv.Color takes: "#rrggbb", (r, g, b), a QColor. kyv.Color raises
// TypeError for what is no colour and ValueError for a colour it cannot read; both become
// the kind of error the member would raise, naming it.
kyv::Variant fromColourSpelling(py::handle value, std::string_view member) {
  try {
    py::object colour = colorClass()(value);
    return kyv::Colour{colour.cast<uint32_t>()};
  } catch (py::error_already_set& e) {
    const bool wrongType = e.matches(PyExc_TypeError);
    if (!wrongType && !e.matches(PyExc_ValueError)) throw;
    raiseError(wrongType ? kyv::ErrorKind::TypeMismatch : kyv::ErrorKind::InvalidPropertyValue,
               std::string(wrongType ? "Type mismatch: " : "Invalid property value: ") +
                   py::str(e.value()).cast<std::string>(),
               member);
  }
}

std::string typeOf(py::handle value) { return Py_TYPE(value.ptr())->tp_name; }

// "a list", "an Integer", "an int": the indefinite article an English reader expects.
std::string withArticle(const std::string& noun) {
  const bool vowel = !noun.empty() && std::string("AEIOUaeiou").find(noun.front()) != std::string::npos;
  return (vowel ? "an " : "a ") + noun;
}

kyv::Variant fromInteger(long long v, kyv::VarType target) {
  if (target == kyv::VarType::Colour && v >= 0 && v <= 0xFFFFFFFFLL) return kyv::Colour{static_cast<uint32_t>(v)};
  if (v >= INT16_MIN && v <= INT16_MAX) return static_cast<int16_t>(v);
  if (v >= INT32_MIN && v <= INT32_MAX) return static_cast<int32_t>(v);
  return static_cast<double>(v);
}

kyv::Variant fromPyLong(py::handle value, kyv::VarType target) {
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow == 0 && !(v == -1 && PyErr_Occurred())) return fromInteger(v, target);
  PyErr_Clear();
  // Beyond the Long range: as a Double, which a whole-number member reports as overflow.
  const double d = PyLong_AsDouble(value.ptr());
  if (d == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return overflow < 0 ? -HUGE_VAL : HUGE_VAL;
  }
  return d;
}

// A float for a whole-number member must be whole: 2.5 is refused rather than rounded. NaN
// and infinities go on to the member, which reports them as overflow.
kyv::Variant fromFloat(double v, kyv::VarType target, std::string_view member) {
  const bool whole = target == kyv::VarType::Integer || target == kyv::VarType::Long;
  if (whole && std::isfinite(v) && v != std::trunc(v))
    raiseError(kyv::ErrorKind::TypeMismatch,
               "Type mismatch: " + py::repr(py::float_(v)).cast<std::string>() + " is not a whole number, as " +
                   withArticle(std::string(kyv::typeName(target))) + " is",
               member);
  return v;
}

}  // namespace

kyv::Variant toVariant(py::handle value, kyv::VarType target, std::string_view member) {
  PyObject* o = value.ptr();
  if (PyBool_Check(o)) {
    if (target == kyv::VarType::Colour)
      raiseError(kyv::ErrorKind::TypeMismatch, "Type mismatch: a bool is not a Colour", member);
    // True is 1 for a number, as in Python, not the -1 of the controls' own Boolean.
    if (isNumber(target)) return int16_t{o == Py_True};
    return o == Py_True;
  }
  if (PyLong_Check(o)) return fromPyLong(value, target);
  if (target == kyv::VarType::Colour && colorClass() && o != Py_None) return fromColourSpelling(value, member);
  if (PyFloat_Check(o)) return fromFloat(PyFloat_AS_DOUBLE(o), target, member);
  if (PyUnicode_Check(o)) {
    if (isNumber(target) || target == kyv::VarType::Boolean)
      raiseError(kyv::ErrorKind::TypeMismatch,
                 "Type mismatch: a str is not " + withArticle(std::string(kyv::typeName(target))) +
                     " (no text is read as a number: convert it with int() or float())",
                 member);
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(o, &size);
    if (!text) throw py::error_already_set();
    return std::string(text, static_cast<size_t>(size));
  }
  const std::string expected = target == kyv::VarType::Variant || target == kyv::VarType::Empty
                                   ? std::string("a value")
                                   : withArticle(std::string(kyv::typeName(target)));
  if (o == Py_None) raiseError(kyv::ErrorKind::TypeMismatch, "Type mismatch: None is not " + expected, member);
  if (PyIndex_Check(o)) {
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(o));
    if (!index) throw py::error_already_set();
    return fromPyLong(index, target);
  }
  if (Py_TYPE(o)->tp_as_number && Py_TYPE(o)->tp_as_number->nb_float) {
    const double v = PyFloat_AsDouble(o);
    if (v == -1.0 && PyErr_Occurred()) throw py::error_already_set();
    return fromFloat(v, target, member);
  }
  raiseError(kyv::ErrorKind::TypeMismatch, "Type mismatch: " + withArticle(typeOf(value)) + " is not " + expected,
             member);
}

py::object fromVariant(const kyv::Variant& value) {
  switch (value.type()) {
    case kyv::VarType::Integer: return py::int_(*value.get<int16_t>());
    case kyv::VarType::Long: return py::int_(*value.get<int32_t>());
    case kyv::VarType::Single: return py::float_(*value.get<float>());
    case kyv::VarType::Double: return py::float_(*value.get<double>());
    case kyv::VarType::Boolean: return py::bool_(*value.get<bool>());
    case kyv::VarType::Colour:
      if (colorClass()) return colorClass()(value.get<kyv::Colour>()->value);
      return py::int_(value.get<kyv::Colour>()->value);
    case kyv::VarType::String: return py::str(*value.get<std::string>());
    default: return py::none();
  }
}

void setErrorClasses(py::dict classes) { errorClasses() = std::move(classes); }

void setColorClass(py::object cls) { colorClass() = std::move(cls); }

void raiseError(const kyv::Error& error, std::string_view member) {
  const std::string message = error.what();
  py::object cls = errorClasses().contains(error.number()) ? errorClasses()[py::int_(error.number())]
                                                           : py::reinterpret_borrow<py::object>(PyExc_RuntimeError);
  py::object instance = cls.ptr() == PyExc_RuntimeError ? cls(message)
                                                        : cls(message, std::string(kyv::kindName(error.kind())),
                                                              error.number(), std::string(member));
  PyErr_SetObject(cls.ptr(), instance.ptr());
  throw py::error_already_set();
}

void raiseError(kyv::ErrorKind kind, const std::string& message, std::string_view member) {
  raiseError(kyv::Error(kind, message), member);
}

}  // namespace kyvpy
