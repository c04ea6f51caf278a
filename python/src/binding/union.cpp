#include "binding/union.hpp"

namespace binding {
namespace {

// "TYPE: MESSAGE" of one exception.
std::string describe(PyObject* exception) {
  Ref type_name = Ref::check(PyType_GetName(Py_TYPE(exception)));
  Ref text = Ref::check(PyObject_Str(exception));
  const char* type_text = PyUnicode_AsUTF8(type_name.get());
  const char* message = PyUnicode_AsUTF8(text.get());
  if (type_text == nullptr || message == nullptr) throw PythonError();
  return std::string(type_text) + ": " + message;
}

}  // namespace

// The message's frame ("failed to extract enum", "failed to extract field NAME::VARIANT.0")
// is a fixed interface text, pinned by the tests, though the module has no such fields.
void raise_union_error(const char* name, std::span<const char* const> variants, std::span<Ref> failures) {
  std::string message = std::string("failed to extract enum ") + name + " ('";
  for (std::size_t i = 0; i < variants.size(); ++i) {
    if (i > 0) message += " | ";
    message += variants[i];
  }
  message += "')";
  for (std::size_t i = 0; i < variants.size(); ++i) {
    message += std::string("\n- variant ") + variants[i] + " (" + variants[i] +
               "): TypeError: failed to extract field " + name + "::" + variants[i] + ".0";
    // The variant's own failure, then each link of its cause chain.
    for (Ref link = Ref::borrow(failures[i].get()); link; link = Ref::steal(PyException_GetCause(link.get()))) {
      message += ", caused by " + describe(link.get());
    }
  }
  raise(PyExc_TypeError, message);
}

}  // namespace binding
