#include "binding/errors.hpp"

#include <atomic>
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
  // Kept for the process's lifetime once made; not a module attribute. The module's
  // initialiser makes it, so a fault finds it ready. No function-local static: its
  // guard would be held while the interpreter runs, which threads of the free-threaded
  // build can deadlock on, and a failed first attempt would leave it null for good.
  static std::atomic<PyObject*> type{nullptr};
  if (PyObject* made = type.load(std::memory_order_acquire)) return made;
  PyObject* made = PyErr_NewExceptionWithDoc("travok.PanicException",
                                             "An internal fault: a broken invariant ended an operation of the module.",
                                             PyExc_BaseException, nullptr);
  if (made == nullptr) return nullptr;  // its error is set; a later call tries again
  PyObject* first = nullptr;
  if (!type.compare_exchange_strong(first, made, std::memory_order_acq_rel)) {
    Py_DECREF(made);  // another thread made it meanwhile
    return first;
  }
  return made;
}

namespace {
void set_panic(const char* message) noexcept {
  PyObject* type = panic_exception_type();
  if (type == nullptr) return;  // creating the class failed; its error is set
  PyErr_SetString(type, message);
}
}  // namespace

void raise_panic(const char* message) {
  set_panic(message);
  throw PythonError();
}

bool clear_ordinary_error() noexcept {
  if (!PyErr_ExceptionMatches(PyExc_Exception) || PyErr_ExceptionMatches(PyExc_MemoryError)) return false;
  PyErr_Clear();
  return true;
}

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
