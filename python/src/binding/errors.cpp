#include "binding/errors.hpp"

#include <exception>
#include <new>
#include <stdexcept>

#include "fault.hpp"

namespace binding {

void raise(PyObject* type, const char* message) {
  PyErr_SetString(type, message);
  throw PythonError();
}

void raise(PyObject* type, const std::string& message) { raise(type, message.c_str()); }

PyObject* panic_exception_type() noexcept {
  // Created once per process and kept for its lifetime; not a module attribute.
  static PyObject* type = PyErr_NewExceptionWithDoc(
      "travok.PanicException",
      "An internal fault: a broken invariant ended an operation of the module.",
      PyExc_BaseException, nullptr);
  return type;
}

namespace {
void set_panic(const char* message) noexcept {
  PyObject* type = panic_exception_type();
  if (type == nullptr) return;  // creating the class failed; its error is set
  PyErr_SetString(type, message);
}
}  // namespace

void translate_current_exception() noexcept {
  try {
    throw;
  } catch (const PythonError&) {
    // Already set where it happened.
  } catch (const genetic::ConfigError& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  } catch (const genetic::Fault& error) {
    set_panic(error.what());
  } catch (const std::bad_alloc&) {
    // An allocation the caller's values asked for; the interpreter lives on.
    PyErr_NoMemory();
  } catch (const std::length_error&) {
    PyErr_NoMemory();
  } catch (const std::exception& error) {
    set_panic(error.what());
  } catch (...) {
    set_panic("an unknown internal fault");
  }
}

}  // namespace binding
