#include "binding/binder.hpp"

#include <cstring>
#include <string>

#include "binding/errors.hpp"

namespace binding {
namespace {

// Keyword arguments as either form of call passes them.
struct Keywords {
  PyObject* dict = nullptr;   // tuple + dict form
  PyObject* names = nullptr;  // vector-call form
  PyObject* const* values = nullptr;

  Py_ssize_t size() const {
    if (dict) return PyDict_GET_SIZE(dict);
    return names ? PyTuple_GET_SIZE(names) : 0;
  }
};

std::size_t most_positional(const Signature& s) {
  return s.n_positional < s.names.size() ? s.n_positional : s.names.size();
}

[[noreturn, gnu::cold]] void raise_too_many(const Signature& s, std::size_t given) {
  const std::size_t max = most_positional(s);
  const char* verb = given == 1 ? "was" : "were";
  std::string message = s.full_name;
  if (s.n_required != max) {
    message += " takes from " + std::to_string(s.n_required) + " to " + std::to_string(max);
  } else {
    message += " takes " + std::to_string(max);
  }
  message += " positional arguments but " + std::to_string(given) + " " + verb + " given";
  raise(PyExc_TypeError, message);
}

[[noreturn, gnu::cold]] void raise_missing(const Signature& s, std::span<PyObject*> out) {
  std::string names;
  std::size_t missing = 0;
  for (std::size_t i = 0; i < s.n_required; ++i) missing += out[i] == nullptr;
  std::size_t listed = 0;
  for (std::size_t i = 0; i < s.n_required; ++i) {
    if (out[i] != nullptr) continue;
    if (listed > 0) {
      if (missing > 2) names += ',';
      names += listed + 1 == missing ? " and " : " ";
    }
    names += '\'';
    names += s.names[i];
    names += '\'';
    ++listed;
  }
  std::string message = std::string(s.full_name) + " missing " + std::to_string(missing) +
                        " required positional argument" + (missing == 1 ? "" : "s") + ": " + names;
  raise(PyExc_TypeError, message);
}

// The name is formatted as a str object, so any keyword the host passes (even one
// that has no UTF-8 form) is reported rather than failing to encode.
[[noreturn, gnu::cold]] void raise_keyword(const Signature& s, const char* what, PyObject* name) {
  PyErr_Format(PyExc_TypeError, "%s%s'%U'", s.full_name, what, name);
  throw PythonError();
}

// Parameter lists are short: a scan with one text comparison per name.
std::ptrdiff_t find_parameter(const Signature& s, PyObject* name) {
  for (std::size_t i = 0; i < s.names.size(); ++i) {
    if (PyUnicode_CompareWithASCIIString(name, s.names[i]) == 0) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

void bind_keyword(const Signature& s, PyObject* name, PyObject* value, std::span<PyObject*> out) {
  if (!PyUnicode_Check(name)) raise(PyExc_TypeError, std::string(s.full_name) + " keywords must be strings");
  const std::ptrdiff_t index = find_parameter(s, name);
  if (index < 0) raise_keyword(s, " got an unexpected keyword argument ", name);
  if (out[index] != nullptr) raise_keyword(s, " got multiple values for argument ", name);
  out[index] = value;
}

void bind(const Signature& s, PyObject* const* positional, std::size_t n_positional, const Keywords& keywords,
          std::span<PyObject*> out) {
  // The host's order: keyword errors are found before a surplus of positional
  // arguments, so the positional ones that fit are bound first.
  for (auto& slot : out) slot = nullptr;
  const std::size_t most = most_positional(s);
  const std::size_t n_bound = n_positional < most ? n_positional : most;
  for (std::size_t i = 0; i < n_bound; ++i) out[i] = positional[i];
  if (keywords.dict != nullptr) {
    PyObject* name;
    PyObject* value;
    Py_ssize_t pos = 0;
    while (PyDict_Next(keywords.dict, &pos, &name, &value)) bind_keyword(s, name, value, out);
  } else {
    const Py_ssize_t n = keywords.size();
    for (Py_ssize_t k = 0; k < n; ++k) {
      bind_keyword(s, PyTuple_GET_ITEM(keywords.names, k), keywords.values[k], out);
    }
  }
  if (n_positional > most) raise_too_many(s, n_positional);
  for (std::size_t i = 0; i < s.n_required; ++i) {
    if (out[i] == nullptr) raise_missing(s, out);
  }
}

}  // namespace

void bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs, std::span<PyObject*> out) {
  Keywords keywords;
  if (kwargs != nullptr && PyDict_GET_SIZE(kwargs) > 0) keywords.dict = kwargs;
  bind(signature, reinterpret_cast<PyTupleObject*>(args)->ob_item, static_cast<std::size_t>(PyTuple_GET_SIZE(args)),
       keywords, out);
}

void bind_arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames,
                    std::span<PyObject*> out) {
  const Py_ssize_t n_positional = PyVectorcall_NARGS(nargsf);
  Keywords keywords;
  keywords.names = kwnames;
  keywords.values = args + n_positional;
  bind(signature, args, static_cast<std::size_t>(n_positional), keywords, out);
}

}  // namespace binding
