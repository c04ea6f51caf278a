#pragma once
// One converter per type between Python values and core values. from_py copies a
// Python value into a new core value (raising the specified errors); to_py builds a
// new Python value, so nothing returned shares state with its owner.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/errors.hpp"
#include "binding/object.hpp"
#include "binding/ref.hpp"

namespace binding {

template <class T>
struct Converter;

// "'T' object cannot be cast as 'WHAT'", T being the qualified name of the object's type.
[[noreturn, gnu::cold]] void raise_cast(PyObject* object, const char* what);

template <class T>
T from_python(PyObject* object) {
  return Converter<T>::from_py(object);
}

template <class T>
Ref to_python(T&& value) {
  return Converter<std::remove_cvref_t<T>>::to_py(std::forward<T>(value));
}

// Converts the argument or attribute NAME; a TypeError gains the prefix
// "argument 'NAME': " and keeps its cause; other exceptions pass unchanged.
[[noreturn, gnu::cold]] void prefix_type_error(const char* name);

template <class T>
T extract_argument(PyObject* object, const char* name) {
  try {
    return from_python<T>(object);
  } catch (const PythonError&) {
    prefix_type_error(name);
  }
}

template <>
struct Converter<std::uint64_t> {
  static std::uint64_t from_py(PyObject* object);
  static Ref to_py(std::uint64_t value) { return Ref::check(PyLong_FromUnsignedLongLong(value)); }
};

// An 8-bit count: the host's own conversion first, then the narrower range.
template <>
struct Converter<std::uint8_t> {
  static std::uint8_t from_py(PyObject* object);
  static Ref to_py(std::uint8_t value) { return Ref::check(PyLong_FromLong(value)); }
};

template <>
struct Converter<double> {
  static double from_py(PyObject* object) {
    const double value = PyFloat_AsDouble(object);
    if (value == -1.0 && PyErr_Occurred()) throw PythonError();
    return value;
  }
  static Ref to_py(double value) { return Ref::check(PyFloat_FromDouble(value)); }
};

template <class T>
struct Converter<std::optional<T>> {
  static std::optional<T> from_py(PyObject* object) {
    if (object == nullptr || object == Py_None) return std::nullopt;
    return from_python<T>(object);
  }
  template <class O>
  static Ref to_py(O&& value) {
    if (!value) return Ref::borrow(Py_None);
    return to_python(*std::forward<O>(value));
  }
};

// Checks a list argument and returns an iterator over it, with the length as a
// capacity hint (0 when it cannot be taken).
Ref iterate_sequence(PyObject* object, Py_ssize_t& hint);
// Checks a set argument and returns an iterator over it.
Ref iterate_set(PyObject* object);
// The next item of an iterator, or null at its end.
Ref next_item(PyObject* iterator);

template <class T, class A>
struct Converter<std::vector<T, A>> {
  static std::vector<T, A> from_py(PyObject* object) {
    Py_ssize_t hint = 0;
    Ref iterator = iterate_sequence(object, hint);
    std::vector<T, A> items;
    items.reserve(static_cast<std::size_t>(hint));
    while (Ref item = next_item(iterator.get())) items.push_back(from_python<T>(item.get()));
    return items;
  }
  template <class V>
  static Ref to_py(V&& items) {
    Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(items.size())));
    Py_ssize_t index = 0;
    for (auto& item : items) {
      if constexpr (std::is_rvalue_reference_v<V&&>) {
        PyList_SET_ITEM(list.get(), index++, to_python(std::move(item)).release());
      } else {
        PyList_SET_ITEM(list.get(), index++, to_python(std::as_const(item)).release());
      }
    }
    return list;
  }
};

// Values of the module's own classes: copied under a read of the instance.
template <ModuleValue T>
struct Converter<T> {
  using Desc = typename ClassFor<T>::type;
  static T from_py(PyObject* object) {
    if (Py_TYPE(object) != type_object<Desc>()) raise_cast(object, Desc::name);
    auto* instance = as_object<T>(object);
    ReadGuard guard(instance->borrow);
    return instance->value;
  }
  template <class V>
  static Ref to_py(V&& value) {
    return new_object(type_object<Desc>(), std::forward<V>(value));
  }
};

}  // namespace binding
