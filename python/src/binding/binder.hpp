#pragma once
// The one argument binder. Constructors (tuple + dict) and module functions
// (vector call: array + keyword names) both reduce to one view and are checked in
// one order, so every entry point reports binding errors the same way.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <limits>
#include <span>

namespace binding {

struct Signature {
  const char* full_name;               // "Chromosome.__new__()" or "sequence_sga()"
  std::span<const char* const> names;  // positional-or-keyword parameters, in order
  std::size_t n_required;              // the leading names without a default
  // The leading names that may be given by position; those after are keyword-only.
  std::size_t n_positional = std::numeric_limits<std::size_t>::max();
};

// Fills `out` (one slot per parameter) with borrowed references; a slot left null
// is an optional parameter not given. Raises the binding TypeErrors.
void bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs, std::span<PyObject*> out);
void bind_arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames,
                    std::span<PyObject*> out);

}  // namespace binding
