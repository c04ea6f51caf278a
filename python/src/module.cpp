// The module's entry point: created once per process, for one interpreter.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstdint>

#include "binding/errors.hpp"
#include "binding/module.hpp"
#include "lineage.hpp"

namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "travok",
    "Genetic sequencing of dependency matrices: orderings that leave few marks above the diagonal.",
    0,        // no per-module state
    nullptr,  // names are added by the initialiser, not by a method table
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

std::atomic<std::int64_t> owner_interpreter{-1};
PyObject* the_module = nullptr;

PyObject* create_module() {
  using namespace binding;
  Ref module = Ref::check(PyModule_Create2(&module_definition, 1013));
#ifdef Py_GIL_DISABLED
  if (PyUnstable_Module_SetGIL(module.get(), Py_MOD_GIL_USED) < 0) throw PythonError();
#endif
  add_class<faces::ChromosomeClass>(module.get());
  add_class<faces::PopulationClass>(module.get());
  return module.release();
}

}  // namespace

PyMODINIT_FUNC PyInit_travok() {
  return binding::boundary<PyObject*>(nullptr, []() -> PyObject* {
    const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id < 0) throw binding::PythonError();
    std::int64_t expected = -1;
    if (!owner_interpreter.compare_exchange_strong(expected, id) && expected != id) {
      binding::raise(PyExc_ImportError, "travok does not support sub-interpreters: it was imported by another "
                                        "interpreter of this process");
    }
    if (the_module == nullptr) the_module = create_module();
    return Py_NewRef(the_module);
  });
}
