// The search module travok_dsm._search: one function, on the binding layer of the travok module.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "binding/errors.hpp"
#include "binding/module.hpp"
#include "search.hpp"

namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "travok_dsm._search",
    "The memetic search of the core: orderings with few feedback marks, searched without the "
    "interpreter lock.",
    0,        // no per-module state
    nullptr,  // the function is added by the initialiser, as in the travok module
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

binding::SingleModule the_module{"travok_dsm._search"};

PyObject* create_module() {
  using namespace binding;
  Ref module = Ref::check(PyModule_Create2(&module_definition, 1013));
  if (panic_exception_type() == nullptr) throw PythonError();
#ifdef Py_GIL_DISABLED
  if (PyUnstable_Module_SetGIL(module.get(), Py_MOD_GIL_USED) < 0) throw PythonError();
#endif
  Ref module_name = Ref::check(PyModule_GetNameObject(module.get()));
  Ref function = Ref::check(PyCFunction_NewEx(faces::search_definition(), module.get(), module_name.get()));
  add_name(module.get(), "search", function.get());
  return module.release();
}

}  // namespace

PyMODINIT_FUNC PyInit__search() {
  return binding::boundary<PyObject*>(nullptr, [] { return binding::import_once(the_module, create_module); });
}
