#pragma once
// One converter per type between Python values and core values. from_py copies a
// Python value into a new core value (raising the specified errors); to_py builds a
// new Python value, so nothing returned shares state with its owner.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/errors.hpp"
#include "binding/object.hpp"
#include "binding/ref.hpp"

namespace binding {

template <class T>
struct Converter;

// "'T' object cannot be cast as 'WHAT'", T being the qualified name of the object's type.
[[noreturn, gnu::cold]] void raise_cast(PyObject* object, const char* what);

template <class T>
T from_python(PyObject* object) {
  return Converter<T>::from_py(object);
}

template <class T>
Ref to_python(T&& value) {
  return Converter<std::remove_cvref_t<T>>::to_py(std::forward<T>(value));
}

// Converts the argument or attribute NAME; a TypeError gains the prefix
// "argument 'NAME': " and keeps its cause; other exceptions pass unchanged.
[[noreturn, gnu::cold]] void prefix_type_error(const char* name);

template <class T>
T extract_argument(PyObject* object, const char* name) {
  try {
    return from_python<T>(object);
  } catch (const PythonError&) {
    prefix_type_error(name);
  }
}

template <>
struct Converter<std::uint64_t> {
  static std::uint64_t from_py(PyObject* object);
  static Ref to_py(std::uint64_t value) { return Ref::check(PyLong_FromUnsignedLongLong(value)); }
};

// An 8-bit count: the host's own conversion first, then the narrower range.
template <>
struct Converter<std::uint8_t> {
  static std::uint8_t from_py(PyObject* object);
  static Ref to_py(std::uint8_t value) { return Ref::check(PyLong_FromLong(value)); }
};

// An exact float or a one-digit exact int (below 2^30, so exact as a float), read in place
// into `value`: converting it runs no code. False for any other object. Inlined: a list's
// conversion calls it for every item.
[[gnu::always_inline]] inline bool plain_number(PyObject* object, double& value) noexcept {
  if (PyFloat_CheckExact(object)) {
    value = PyFloat_AS_DOUBLE(object);
    return true;
  }
  if (PyLong_CheckExact(object) && PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject*>(object))) {
    value = static_cast<double>(PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject*>(object)));
    return true;
  }
  return false;
}

template <>
struct Converter<double> {
  static double from_py(PyObject* object) {
    if (double value; plain_number(object, value)) return value;
    // The host's own steps for its own types, without a float object made for an int.
    if (PyFloat_Check(object)) return PyFloat_AS_DOUBLE(object);
    const double value = PyLong_CheckExact(object) ? PyLong_AsDouble(object) : PyFloat_AsDouble(object);
    if (value == -1.0 && PyErr_Occurred()) throw PythonError();
    return value;
  }
  static Ref to_py(double value) { return Ref::check(PyFloat_FromDouble(value)); }
};

template <class T>
struct Converter<std::optional<T>> {
  static std::optional<T> from_py(PyObject* object) {
    if (object == nullptr || object == Py_None) return std::nullopt;
    return from_python<T>(object);
  }
  template <class O>
  static Ref to_py(O&& value) {
    if (!value) return Ref::borrow(Py_None);
    return to_python(*std::forward<O>(value));
  }
};

// Refuses a list argument that is a str or no sequence, with the list conversion's errors.
void check_sequence(PyObject* object);
// The length of a checked list argument as a capacity hint: 0 when it cannot be taken.
Py_ssize_t sequence_hint(PyObject* object);
// Checks a set argument and returns an iterator over it.
Ref iterate_set(PyObject* object);
// The next item of an iterator, or null at its end.
Ref next_item(PyObject* iterator);

// The numbers of an object that exports a one-dimensional, C-contiguous buffer of
// floats, signed or unsigned integers of any width or bools (arrays, bytes), held
// while this lives: they are read in place, without a Python object per element.
class NumberBuffer {
 public:
  // A bool element: any byte but zero is true.
  struct Bool {
    unsigned char byte;
  };

  // Holds nothing when the object exports no such buffer (an ordinary failure to export one
  // is ignored; an interrupt or a MemoryError propagates).
  explicit NumberBuffer(PyObject* object);
  ~NumberBuffer();
  NumberBuffer(const NumberBuffer&) = delete;
  NumberBuffer& operator=(const NumberBuffer&) = delete;

  explicit operator bool() const noexcept { return kind_ != Kind::None; }

  // visit(first, last) over the elements as a typed range: std::int8_t .. std::int64_t,
  // std::uint8_t .. std::uint64_t, float, double or Bool. Only when held.
  template <class Visit>
  decltype(auto) visit(Visit&& visit) const {
    switch (kind_) {
      case Kind::I8:
        return as<std::int8_t>(visit);
      case Kind::I16:
        return as<std::int16_t>(visit);
      case Kind::I32:
        return as<std::int32_t>(visit);
      case Kind::I64:
        return as<std::int64_t>(visit);
      case Kind::U8:
        return as<std::uint8_t>(visit);
      case Kind::U16:
        return as<std::uint16_t>(visit);
      case Kind::U32:
        return as<std::uint32_t>(visit);
      case Kind::U64:
        return as<std::uint64_t>(visit);
      case Kind::F32:
        return as<float>(visit);
      case Kind::F64:
        return as<double>(visit);
      case Kind::Bool:
      case Kind::None:
        break;
    }
    return as<Bool>(visit);
  }

 private:
  enum class Kind : unsigned char { None, I8, I16, I32, I64, U8, U16, U32, U64, F32, F64, Bool };
  template <class E, class Visit>
  decltype(auto) as(Visit& visit) const {
    const auto* first = static_cast<const E*>(view_.buf);
    return visit(first, first + view_.len / static_cast<Py_ssize_t>(sizeof(E)));
  }
  Py_buffer view_{};
  Kind kind_ = Kind::None;
};

// Whether converting each element of a buffer to T as an item gives the element itself:
// an unsigned integer from a float, a bool or a negative number is the index protocol's
// to refuse (or, for a bool, the item's own type's to allow), so such buffers go item by item.
template <class T, class E>
bool converts_in_place(const E* first, const E* last) {
  if constexpr (std::is_same_v<T, double>) {
    return true;
  } else if constexpr (std::is_same_v<E, NumberBuffer::Bool> || std::is_floating_point_v<E>) {
    return false;
  } else if constexpr (std::is_signed_v<E>) {
    return std::none_of(first, last, [](E value) { return value < 0; });
  } else {
    return true;
  }
}

template <class T, class E>
T number_of(E element) noexcept {
  if constexpr (std::is_same_v<E, NumberBuffer::Bool>) {
    return element.byte != 0 ? T{1} : T{0};
  } else {
    return static_cast<T>(element);  // an integer to the nearest float, as the host rounds it
  }
}

template <class T>
concept BufferNumber = std::is_same_v<T, double> || std::is_same_v<T, std::uint64_t>;

// Hands the items of a list argument to `sink` in order, each converted by from_python<T>:
// sink.reserve(count) first, then sink.push_back(value) per item. A flat numeric buffer
// is read in place when that gives the same values, as one sink.append(first, last,
// convert) where the sink has it.
template <class T, class Sink>
void read_list(PyObject* object, Sink& sink) {
  check_sequence(object);
  if constexpr (BufferNumber<T>) {
    const NumberBuffer buffer(object);
    if (buffer && buffer.visit([&]<class E>(const E* first, const E* last) {
          if (!converts_in_place<T>(first, last)) return false;
          sink.reserve(static_cast<std::size_t>(last - first));
          if constexpr (requires { sink.append(first, last, number_of<T, E>); }) {
            sink.append(first, last, number_of<T, E>);  // a sink that takes whole runs of numbers
          } else {
            for (; first != last; ++first) sink.push_back(number_of<T>(*first));
          }
          return true;
        })) {
      return;
    }
  }
  sink.reserve(static_cast<std::size_t>(sequence_hint(object)));
#ifndef Py_GIL_DISABLED  // without the lock only the list's own iterator reads it safely
  if (PyList_CheckExact(object)) {
    // What a list's iterator does, without its calls: converting an item may run code
    // that changes the list, so the length is read again at every step.
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(object); ++i) {
      PyObject* const item = PyList_GET_ITEM(object, i);
      if constexpr (std::is_same_v<T, double>) {
        // A plain number runs no code as it converts, so nothing can drop it from the list
        // meanwhile: it needs no reference of its own.
        if (double value; plain_number(item, value)) {
          sink.push_back(std::move(value));
          continue;
        }
      }
      const Ref held = Ref::borrow(item);
      sink.push_back(from_python<T>(held.get()));
    }
    return;
  }
#endif
  Ref iterator = Ref::check(PyObject_GetIter(object));
  while (Ref item = next_item(iterator.get())) sink.push_back(from_python<T>(item.get()));
}

// Asks the system to back a large block with huge pages, as NumPy does for its arrays:
// the first touch of each small page of fresh memory can cost more than filling it.
void advise_huge_pages(void* data, std::size_t bytes) noexcept;

template <class T, class A>
struct Converter<std::vector<T, A>> {
  struct Sink {
    std::vector<T, A>& items;
    void reserve(std::size_t count) {
      items.reserve(count);
      advise_huge_pages(items.data(), items.capacity() * sizeof(T));
    }
    void push_back(T&& item) { items.push_back(std::move(item)); }
  };
  static std::vector<T, A> from_py(PyObject* object) {
    std::vector<T, A> items;
    Sink sink{items};
    read_list<T>(object, sink);
    return items;
  }
  template <class V>
  static Ref to_py(V&& items) {
    Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(items.size())));
    Py_ssize_t index = 0;
    for (auto& item : items) {
      if constexpr (std::is_rvalue_reference_v<V&&>) {
        PyList_SET_ITEM(list.get(), index++, to_python(std::move(item)).release());
      } else {
        PyList_SET_ITEM(list.get(), index++, to_python(std::as_const(item)).release());
      }
    }
    return list;
  }
};

// Values of the module's own classes: copied under a read of the instance.
template <ModuleValue T>
struct Converter<T> {
  using Desc = typename ClassFor<T>::type;
  static T from_py(PyObject* object) {
    if (Py_TYPE(object) != type_object<Desc>()) raise_cast(object, Desc::name);
    auto* instance = as_object<T>(object);
    ReadGuard guard(instance->borrow);
    return instance->value;
  }
  template <class V>
  static Ref to_py(V&& value) {
    return new_object(type_object<Desc>(), std::forward<V>(value));
  }
};

}  // namespace binding
