#pragma once
// Registration of the module's names: each becomes an attribute and an entry of __all__.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstdint>

#include "binding/klass.hpp"

namespace binding {

// Appends `name` to the module's __all__ (created empty by the first call), then sets the attribute.
void add_name(PyObject* module, const char* name, PyObject* object);

template <class Desc>
void add_class(PyObject* module) {
  add_name(module, Desc::name, reinterpret_cast<PyObject*>(type_object<Desc>()));
}

// One module object per process, made by `create` on the first import. The binding layer keeps
// process-wide state (types, the internal-fault class), so the first interpreter to import the
// module owns it and any other gets ImportError naming `name`. Run inside boundary().
struct SingleModule {
  const char* name;
  std::atomic<std::int64_t> owner{-1};
  PyObject* made = nullptr;
};
PyObject* import_once(SingleModule& module, PyObject* (*create)());

}  // namespace binding
