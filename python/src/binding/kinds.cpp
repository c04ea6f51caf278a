#include "binding/kinds.hpp"

namespace binding {

void add_members(PyTypeObject* type, std::span<const char* const> names, std::span<Ref> members) {
  // The type is immutable to Python code; its own dictionary is filled here, once.
  Ref dict = Ref::check(PyType_GetDict(type));
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (PyDict_SetItemString(dict.get(), names[i], members[i].get()) < 0) throw PythonError();
  }
  PyType_Modified(type);
}

PyObject* compare_with_integer(long long value, PyObject* other, int op) {
  // int, bool and __index__ objects; anything else (or a value beyond 64 bits) is
  // not comparable and falls back to the host's identity rule. An interrupt or a
  // MemoryError from the operand's __index__ is not an answer: it propagates.
  if (!PyIndex_Check(other)) Py_RETURN_NOTIMPLEMENTED;
  PyObject* index = PyNumber_Index(other);
  if (index == nullptr) {
    if (!clear_ordinary_error()) return nullptr;
    Py_RETURN_NOTIMPLEMENTED;
  }
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (overflow != 0) Py_RETURN_NOTIMPLEMENTED;
  if (number == -1 && PyErr_Occurred()) {
    if (!clear_ordinary_error()) return nullptr;
    Py_RETURN_NOTIMPLEMENTED;
  }
  return PyBool_FromLong((number == value) == (op == Py_EQ));
}

}  // namespace binding
