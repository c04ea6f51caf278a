#pragma once
// Registration of the module's names: each becomes an attribute and an entry of __all__.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "binding/klass.hpp"

namespace binding {

// Appends `name` to the module's __all__ (created empty by the first call), then sets the attribute.
void add_name(PyObject* module, const char* name, PyObject* object);

template <class Desc>
void add_class(PyObject* module) {
  add_name(module, Desc::name, reinterpret_cast<PyObject*>(type_object<Desc>()));
}

}  // namespace binding
