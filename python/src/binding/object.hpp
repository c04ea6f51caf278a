#pragma once
// The layout every module object shares: the host's header, the borrow word and
// one core value owned by the object.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <new>
#include <type_traits>
#include <utility>

#include "binding/borrow.hpp"
#include "binding/ref.hpp"

namespace binding {

template <class T>
struct Object {
  PyObject_HEAD BorrowFlag borrow;
  T value;
};

template <class T>
Object<T>* as_object(PyObject* object) noexcept {
  return reinterpret_cast<Object<T>*>(object);
}

// Maps a core value type to the description of the class that holds it; each role
// header specialises it for its classes.
template <class T>
struct ClassFor;

template <class T>
concept ModuleValue = requires { typename ClassFor<T>::type; };

// The class object of a description, created on first need and kept for the whole process.
template <class Desc>
PyTypeObject* type_object();

template <class T>
Ref new_object(PyTypeObject* type, T&& value) {
  using V = std::remove_cvref_t<T>;
  // A copy can fail (memory); it is made before the object exists, since an object
  // without its value could be neither returned nor destroyed. The move cannot fail.
  static_assert(std::is_nothrow_move_constructible_v<V>);
  V owned(std::forward<T>(value));
  PyObject* raw = type->tp_alloc(type, 0);
  if (raw == nullptr) throw PythonError();
  auto* object = as_object<V>(raw);
  new (&object->borrow) BorrowFlag();
  new (&object->value) V(std::move(owned));
  return Ref::steal(raw);
}

template <class T>
void delete_object(PyObject* raw) noexcept {
  PyTypeObject* type = Py_TYPE(raw);
  as_object<T>(raw)->value.~T();
  type->tp_free(raw);
  Py_DECREF(type);  // instances of heap types hold a reference to their type
}

}  // namespace binding
