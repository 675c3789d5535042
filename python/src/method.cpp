#include "method.h"

#include <structmember.h>

#include <string>

#include "control.h"

namespace kyvpy {

namespace {

struct Method {
  PyObject_HEAD vectorcallfunc vectorcall;
  int index;
  int takesArgument;
  PyObject* name;
  PyObject* doc;
  PyObject* refType;    // kyv.Ref
  PyObject* owner;      // the typed class, set when the class is made (__set_name__)
  PyObject* signature;  // inspect.Signature of (self, value) or (self), for inspect and help()
};

// The argument's one keyword, as the signature names it.
constexpr const char* kArgumentName = "value";

PyTypeObject* controlType = nullptr;

PyControl* controlOf(PyObject* self, Method* m) {
  PyTypeObject* owner = m->owner ? reinterpret_cast<PyTypeObject*>(m->owner) : controlType;
  if (!PyObject_TypeCheck(self, owner)) {
    PyErr_Format(PyExc_TypeError, "%U() needs a %s, not a %s", m->name, owner->tp_name, Py_TYPE(self)->tp_name);
    return nullptr;
  }
  return py::handle(self).cast<PyControl*>();
}

PyObject* callMethod(Method* m, PyObject* self, PyObject* value) {
  try {
    PyControl* control = controlOf(self, m);
    if (!control) return nullptr;
    if (!m->takesArgument) return control->call(m->index, py::handle()).release().ptr();
    if (Py_TYPE(value) != reinterpret_cast<PyTypeObject*>(m->refType))
      return control->call(m->index, value).release().ptr();
    py::object ref = py::reinterpret_borrow<py::object>(value);
    py::object writtenBack;
    py::object result = control->call(m->index, ref.attr("value"), &writtenBack);
    ref.attr("value") = writtenBack;
    return result.release().ptr();
  } catch (py::error_already_set& e) {
    e.restore();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return nullptr;
}

// The argument given by keyword (value=...): the only keyword a method takes, once.
bool takesKeyword(Method* m, PyObject* kwnames, Py_ssize_t positional) {
  const Py_ssize_t keywords = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  if (keywords == 0) return true;
  PyObject* first = PyTuple_GET_ITEM(kwnames, 0);
  if (!m->takesArgument || keywords > 1 || PyUnicode_CompareWithASCIIString(first, kArgumentName) != 0) {
    PyErr_Format(PyExc_TypeError, "%U() got an unexpected keyword argument %R", m->name,
                 PyUnicode_CompareWithASCIIString(first, kArgumentName) == 0 && keywords > 1
                     ? PyTuple_GET_ITEM(kwnames, 1)
                     : first);
    return false;
  }
  if (positional == 2) {
    PyErr_Format(PyExc_TypeError, "%U() got multiple values for argument '%s'", m->name, kArgumentName);
    return false;
  }
  return true;
}

PyObject* vectorcall(PyObject* callable, PyObject* const* args, size_t nargsf, PyObject* kwnames) {
  Method* m = reinterpret_cast<Method*>(callable);
  const Py_ssize_t positional = PyVectorcall_NARGS(nargsf);
  if (!takesKeyword(m, kwnames, positional)) return nullptr;
  const Py_ssize_t n = positional + (kwnames ? PyTuple_GET_SIZE(kwnames) : 0);
  const Py_ssize_t wanted = m->takesArgument ? 2 : 1;
  if (n != wanted) {
    PyErr_Format(PyExc_TypeError, "%U() takes %zd argument%s (%zd given)", m->name, wanted - 1, wanted == 2 ? "" : "s",
                 n - 1);
    return nullptr;
  }
  return callMethod(m, args[0], n == 2 ? args[1] : nullptr);
}

PyObject* descrGet(PyObject* self, PyObject* obj, PyObject*) {
  if (!obj || obj == Py_None) return Py_NewRef(self);
  return PyMethod_New(self, obj);
}

void dealloc(PyObject* self) {
  Method* m = reinterpret_cast<Method*>(self);
  Py_XDECREF(m->name);
  Py_XDECREF(m->doc);
  Py_XDECREF(m->refType);
  Py_XDECREF(m->owner);
  Py_XDECREF(m->signature);
  Py_TYPE(self)->tp_free(self);
}

PyObject* setName(PyObject* self, PyObject* args) {
  PyObject* owner = nullptr;
  PyObject* name = nullptr;
  if (!PyArg_ParseTuple(args, "OO", &owner, &name)) return nullptr;
  if (!PyType_Check(owner)) {
    PyErr_SetString(PyExc_TypeError, "__set_name__ needs the owning class");
    return nullptr;
  }
  Method* m = reinterpret_cast<Method*>(self);
  if (!m->owner) m->owner = Py_NewRef(owner);
  Py_RETURN_NONE;
}

PyMethodDef methods[] = {
    {"__set_name__", setName, METH_VARARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyMemberDef members[] = {
    {"__name__", T_OBJECT, offsetof(Method, name), READONLY, nullptr},
    {"__doc__", T_OBJECT, offsetof(Method, doc), READONLY, nullptr},
    {"index", T_INT, offsetof(Method, index), READONLY, nullptr},
    {"__signature__", T_OBJECT, offsetof(Method, signature), READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyTypeObject methodType = [] {
  PyTypeObject t{};
  Py_SET_REFCNT(reinterpret_cast<PyObject*>(&t), 1);
  t.tp_name = "kyv._kyv.Method";
  t.tp_basicsize = sizeof(Method);
  t.tp_dealloc = dealloc;
  t.tp_vectorcall_offset = offsetof(Method, vectorcall);
  t.tp_call = PyVectorcall_Call;
  t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL | Py_TPFLAGS_METHOD_DESCRIPTOR;
  t.tp_doc = "A Kyv control's method as a method descriptor.";
  t.tp_members = members;
  t.tp_methods = methods;
  t.tp_descr_get = descrGet;
  return t;
}();

py::object makeMethod(int index, bool takesArgument, const std::string& name, const std::string& doc,
                      py::handle refType, py::handle signature) {
  Method* m = PyObject_New(Method, &methodType);
  if (!m) throw py::error_already_set();
  m->vectorcall = vectorcall;
  m->index = index;
  m->takesArgument = takesArgument;
  m->name = py::str(name).release().ptr();
  m->doc = py::str(doc).release().ptr();
  m->refType = refType.inc_ref().ptr();
  m->owner = nullptr;
  m->signature = signature.inc_ref().ptr();
  return py::reinterpret_steal<py::object>(reinterpret_cast<PyObject*>(m));
}

}  // namespace

void addMethodType(py::module_& module, py::handle control) {
  controlType = reinterpret_cast<PyTypeObject*>(control.ptr());
  if (PyType_Ready(&methodType) < 0) throw py::error_already_set();
  module.attr("Method") = py::handle(reinterpret_cast<PyObject*>(&methodType));
  module.def("method", &makeMethod, py::arg("index"), py::arg("takes_argument"), py::arg("name"), py::arg("doc"),
             py::arg("ref_type"), py::arg("signature"),
             "A method descriptor calling member `index` of the control it is called on.");
}

}  // namespace kyvpy
