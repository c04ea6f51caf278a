#pragma once
// How the module reports failures. Binding code throws PythonError once a Python
// exception is set (raise() sets one and throws); core code throws its own
// genetic::Fault / genetic::ConfigError. Every slot runs its body through
// boundary(), the one place that turns whatever was thrown into a Python exception.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>

namespace binding {

// A Python exception is already set; unwinding carries it to the boundary.
struct PythonError {};

// Sets `type` with `message` and throws PythonError. Cold: messages are built only on failure.
[[noreturn, gnu::cold]] void raise(PyObject* type, const char* message);
[[noreturn, gnu::cold]] void raise(PyObject* type, const std::string& message);

// Sets the internal-fault exception with `message` and throws PythonError: for a
// broken invariant found by binding code, as a core Fault is reported.
[[noreturn, gnu::cold]] void raise_panic(const char* message);

// The internal-fault exception class (derives from BaseException); created once.
PyObject* panic_exception_type() noexcept;

// For the few places where a failed Python call has a fallback (a comparison that is
// not implemented, a length that is only a hint): clears the pending exception and
// returns true when it is an ordinary one, an Exception other than MemoryError.
// Anything else (KeyboardInterrupt, SystemExit, MemoryError) is the caller's to
// propagate: it stays set, unchanged, and false is returned.
bool clear_ordinary_error() noexcept;

// Sets the Python exception for the exception in flight. Call only inside a catch block.
void translate_current_exception() noexcept;

// Runs a slot body; any exception becomes a Python exception and `on_error` is returned.
template <class Result, class Body>
Result boundary(Result on_error, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    translate_current_exception();
    return on_error;
  }
}

}  // namespace binding
