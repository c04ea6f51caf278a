#include "binding/module.hpp"

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

}  // namespace binding
