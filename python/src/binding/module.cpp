#include "binding/module.hpp"

#include <string>

namespace binding {

void add_name(PyObject* module, const char* name, PyObject* object) {
  PyObject* all_names = nullptr;
  if (PyObject_GetOptionalAttrString(module, "__all__", &all_names) < 0) throw PythonError();
  Ref names = Ref::steal(all_names);
  if (!names) {
    names = Ref::check(PyList_New(0));
    if (PyObject_SetAttrString(module, "__all__", names.get()) < 0) throw PythonError();
  }
  Ref text = Ref::check(PyUnicode_FromString(name));
  if (PyList_Append(names.get(), text.get()) < 0) throw PythonError();
  if (PyObject_SetAttr(module, text.get(), object) < 0) throw PythonError();
}

PyObject* import_once(SingleModule& module, PyObject* (*create)()) {
  const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id < 0) throw PythonError();
  std::int64_t expected = -1;
  if (!module.owner.compare_exchange_strong(expected, id) && expected != id) {
    raise(PyExc_ImportError, std::string(module.name) +
                                 " does not support sub-interpreters: it was imported by another interpreter "
                                 "of this process");
  }
  if (module.made == nullptr) module.made = create();
  return Py_NewRef(module.made);
}

}  // namespace binding
