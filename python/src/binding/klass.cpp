#include "binding/klass.hpp"

namespace binding {

PyTypeObject* create_type(const char* name, const std::string& doc, unsigned flags, std::vector<PyType_Slot> slots,
                          std::size_t basic_size) {
  // "builtins." makes __module__ "builtins" and __qualname__ the bare name. No
  // BASETYPE flag (not subclassable), no dict or weak-reference slots.
  const std::string full_name = "builtins." + std::string(name);
  slots.push_back({Py_tp_doc, const_cast<char*>(doc.c_str())});
  slots.push_back({0, nullptr});
  PyType_Spec type_spec{full_name.c_str(), static_cast<int>(basic_size), 0,
                        static_cast<unsigned>(Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | flags), slots.data()};
  // The name and doc are copied into the type; the type lives for the process.
  PyObject* type = PyType_FromSpec(&type_spec);
  if (type == nullptr) throw PythonError();
  return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace binding
