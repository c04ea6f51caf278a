#include "binding/convert.hpp"

#include <string>

namespace binding {

void raise_cast(PyObject* object, const char* what) {
  Ref name = Ref::check(PyType_GetQualName(Py_TYPE(object)));
  const char* text = PyUnicode_AsUTF8(name.get());
  if (text == nullptr) throw PythonError();
  raise(PyExc_TypeError, std::string("'") + text + "' object cannot be cast as '" + what + "'");
}

void prefix_type_error(const char* name) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw PythonError();
  Ref original = Ref::steal(PyErr_GetRaisedException());
  Ref text = Ref::check(PyObject_Str(original.get()));
  Ref message = Ref::check(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
  Ref prefixed = Ref::check(PyObject_CallOneArg(PyExc_TypeError, message.get()));
  if (PyObject* cause = PyException_GetCause(original.get())) PyException_SetCause(prefixed.get(), cause);
  PyErr_SetRaisedException(prefixed.release());
  throw PythonError();
}

std::uint64_t Converter<std::uint64_t>::from_py(PyObject* object) {
  Ref index = Ref::check(PyNumber_Index(object));
  const unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw PythonError();
  return value;
}

std::uint8_t Converter<std::uint8_t>::from_py(PyObject* object) {
  Ref index = Ref::check(PyNumber_Index(object));
  const long value = PyLong_AsLong(index.get());
  if (value == -1 && PyErr_Occurred()) throw PythonError();
  if (value < 0 || value > 255) raise(PyExc_OverflowError, "out of range integral type conversion attempted");
  return static_cast<std::uint8_t>(value);
}

Ref iterate_sequence(PyObject* object, Py_ssize_t& hint) {
  // A fixed interface text, pinned by the tests: `Vec` is not a type of this module.
  if (PyUnicode_Check(object)) raise(PyExc_TypeError, "Can't extract `str` to `Vec`");
  if (!PySequence_Check(object)) raise_cast(object, "Sequence");
  hint = PySequence_Size(object);
  if (hint < 0) {
    // Only a hint: an ordinary failure is ignored, an interrupt or a MemoryError is not.
    if (!clear_ordinary_error()) throw PythonError();
    hint = 0;
  }
  return Ref::check(PyObject_GetIter(object));
}

Ref iterate_set(PyObject* object) {
  if (!PyAnySet_Check(object)) raise_cast(object, "set");
  return Ref::check(PyObject_GetIter(object));
}

Ref next_item(PyObject* iterator) {
  PyObject* item = PyIter_Next(iterator);
  if (item == nullptr && PyErr_Occurred()) throw PythonError();
  return Ref::steal(item);
}

}  // namespace binding
