#include "binding/convert.hpp"

#include <bit>
#include <cstdint>
#include <string>

#include <sys/mman.h>

namespace binding {

void raise_cast(PyObject* object, const char* what) {
  Ref name = Ref::check(PyType_GetQualName(Py_TYPE(object)));
  const char* text = PyUnicode_AsUTF8(name.get());
  if (text == nullptr) throw PythonError();
  raise(PyExc_TypeError, std::string("'") + text + "' object cannot be cast as '" + what + "'");
}

void prefix_type_error(const char* name) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw PythonError();
  Ref original = Ref::steal(PyErr_GetRaisedException());
  Ref text = Ref::check(PyObject_Str(original.get()));
  Ref message = Ref::check(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
  Ref prefixed = Ref::check(PyObject_CallOneArg(PyExc_TypeError, message.get()));
  if (PyObject* cause = PyException_GetCause(original.get())) PyException_SetCause(prefixed.get(), cause);
  PyErr_SetRaisedException(prefixed.release());
  throw PythonError();
}

std::uint64_t Converter<std::uint64_t>::from_py(PyObject* object) {
  // An int is its own index.
  const Ref index = PyLong_CheckExact(object) ? Ref::borrow(object) : Ref::check(PyNumber_Index(object));
  const unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw PythonError();
  return value;
}

std::uint8_t Converter<std::uint8_t>::from_py(PyObject* object) {
  Ref index = Ref::check(PyNumber_Index(object));
  const long value = PyLong_AsLong(index.get());
  if (value == -1 && PyErr_Occurred()) throw PythonError();
  if (value < 0 || value > 255) raise(PyExc_OverflowError, "out of range integral type conversion attempted");
  return static_cast<std::uint8_t>(value);
}

void check_sequence(PyObject* object) {
  // A fixed interface text, pinned by the tests: `Vec` is not a type of this module.
  if (PyUnicode_Check(object)) raise(PyExc_TypeError, "Can't extract `str` to `Vec`");
  if (!PySequence_Check(object)) raise_cast(object, "Sequence");
}

Py_ssize_t sequence_hint(PyObject* object) {
  const Py_ssize_t hint = PySequence_Size(object);
  if (hint >= 0) return hint;
  // Only a hint: an ordinary failure is ignored, an interrupt or a MemoryError is not.
  if (!clear_ordinary_error()) throw PythonError();
  return 0;
}

namespace {

// The element kind of a struct-module format of one code, with at most a byte-order
// prefix that means this machine's own order.
char element_code(const char* format) noexcept {
  if (format == nullptr) return 'B';  // the buffer protocol's default: unsigned bytes
  constexpr bool little = std::endian::native == std::endian::little;
  switch (*format) {
    case '@':
    case '=':
      ++format;
      break;
    case '<':
      if (!little) return 0;
      ++format;
      break;
    case '>':
    case '!':
      if (little) return 0;
      ++format;
      break;
    default:
      break;
  }
  return format[0] != 0 && format[1] == 0 ? format[0] : 0;
}

}  // namespace

void advise_huge_pages(void* data, std::size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t huge = std::uintptr_t{2} << 20;
  if (bytes < 2 * huge) return;  // below two huge pages the rounding leaves little to gain
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + huge - 1) & ~(huge - 1);
  const std::uintptr_t last = (start + bytes) & ~(huge - 1);
  if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // only advice
#else
  static_cast<void>(data), static_cast<void>(bytes);
#endif
}

NumberBuffer::NumberBuffer(PyObject* object) {
  // Only an object of a type that exports buffers is asked: a failed request costs an exception.
  if (!PyObject_CheckBuffer(object)) return;
  if (PyObject_GetBuffer(object, &view_, PyBUF_FORMAT | PyBUF_ND | PyBUF_C_CONTIGUOUS) != 0) {
    // No such buffer: the items are read one by one; an interrupt or a MemoryError is not ignored.
    if (!clear_ordinary_error()) throw PythonError();
    return;
  }
  const Py_ssize_t size = view_.itemsize;
  Kind kind = Kind::None;
  // Integer widths come from the item size, which the exporter states for its own codes.
  switch (element_code(view_.format)) {
    case 'b':
    case 'h':
    case 'i':
    case 'l':
    case 'q':
    case 'n':
      kind = size == 1 ? Kind::I8 : size == 2 ? Kind::I16 : size == 4 ? Kind::I32 : size == 8 ? Kind::I64 : Kind::None;
      break;
    case 'B':
    case 'H':
    case 'I':
    case 'L':
    case 'Q':
    case 'N':
      kind = size == 1 ? Kind::U8 : size == 2 ? Kind::U16 : size == 4 ? Kind::U32 : size == 8 ? Kind::U64 : Kind::None;
      break;
    case 'f':
      kind = size == 4 ? Kind::F32 : Kind::None;
      break;
    case 'd':
      kind = size == 8 ? Kind::F64 : Kind::None;
      break;
    case '?':
      kind = size == 1 ? Kind::Bool : Kind::None;
      break;
    default:
      break;
  }
  // Elements are read through typed pointers, so they must lie at their own alignment.
  const bool aligned = size > 0 && reinterpret_cast<std::uintptr_t>(view_.buf) % static_cast<std::uintptr_t>(size) == 0;
  if (view_.ndim != 1 || !aligned || kind == Kind::None) {
    PyBuffer_Release(&view_);
    return;
  }
  kind_ = kind;
}

NumberBuffer::~NumberBuffer() {
  if (kind_ != Kind::None) PyBuffer_Release(&view_);
}

Ref iterate_set(PyObject* object) {
  if (!PyAnySet_Check(object)) raise_cast(object, "set");
  return Ref::check(PyObject_GetIter(object));
}

Ref next_item(PyObject* iterator) {
  PyObject* item = PyIter_Next(iterator);
  if (item == nullptr && PyErr_Occurred()) throw PythonError();
  return Ref::steal(item);
}

}  // namespace binding
