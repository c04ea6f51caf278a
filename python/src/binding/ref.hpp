#pragma once
// An owning reference to a Python object. A function that returns a new reference
// returns a Ref; the raw pointer leaves it only at a slot's return, by release().
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

#include "binding/errors.hpp"

namespace binding {

class Ref {
 public:
  Ref() noexcept = default;
  // Takes over a new reference.
  static Ref steal(PyObject* object) noexcept { return Ref(object); }
  // Adds a reference of its own.
  static Ref borrow(PyObject* object) noexcept {
    Py_XINCREF(object);
    return Ref(object);
  }
  // A C-API result: null means a Python error is set, which is thrown on.
  static Ref check(PyObject* object) {
    if (object == nullptr) throw PythonError();
    return Ref(object);
  }

  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  Ref(const Ref&) = delete;
  ~Ref() { Py_XDECREF(object_); }

  PyObject* get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }

 private:
  explicit Ref(PyObject* object) noexcept : object_(object) {}
  PyObject* object_ = nullptr;
};

}  // namespace binding
