#pragma once
// The kinds enumerations: closed sets of members with fixed integer values, shown
// as "Class.Member", convertible with int(), equal to their own members and to
// integers, unhashable and unordered. A description lists its members:
//
//   struct SelectorKindsClass {
//     using Value = genetic::SelectorKind;
//     using Machinery = Kinds<SelectorKindsClass>;
//     static constexpr const char* name = "SelectorKinds";
//     static constexpr const char* text = "...";
//     static constexpr bool constructible = true;   // KINDS() gives the member of value 0
//     static constexpr std::array members{Member<Value>{"Roulette", Value::Roulette}, ...};
//   };
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <span>
#include <string>
#include <vector>

#include "binding/binder.hpp"
#include "binding/convert.hpp"
#include "binding/klass.hpp"

namespace binding {

template <class E>
struct Member {
  const char* name;
  E value;
};

// Adds each member as a class attribute, made once with the class.
void add_members(PyTypeObject* type, std::span<const char* const> names, std::span<Ref> members);

// The == rule against a foreign operand: equal to an integer of the same value.
PyObject* compare_with_integer(long long value, PyObject* other, int op);

template <class Desc>
struct Kinds {
  using Value = typename Desc::Value;
  static constexpr std::size_t n_members = Desc::members.size();

  static const char* member_name(Value value) noexcept {
    for (const auto& member : Desc::members) {
      if (member.value == value) return member.name;
    }
    return "?";
  }

  static PyObject* tp_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return boundary<PyObject*>(nullptr, [&] {
      static const std::string full_name = std::string(Desc::name) + ".__new__()";
      static const Signature signature{full_name.c_str(), {}, 0};
      bind_arguments(signature, args, kwargs, {});
      return new_object(type, Value{}).release();
    });
  }

  static PyObject* repr(PyObject* self) {
    return boundary<PyObject*>(nullptr, [&] {
      return Ref::check(PyUnicode_FromFormat("%s.%s", Desc::name, member_name(as_object<Value>(self)->value)))
          .release();
    });
  }

  static PyObject* to_int(PyObject* self) { return PyLong_FromLong(static_cast<long>(as_object<Value>(self)->value)); }

  static PyObject* richcompare(PyObject* self, PyObject* other, int op) {
    const auto value = static_cast<long long>(as_object<Value>(self)->value);
    if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
    if (Py_TYPE(other) == Py_TYPE(self)) {
      const bool equal = as_object<Value>(other)->value == as_object<Value>(self)->value;
      return PyBool_FromLong(equal == (op == Py_EQ));
    }
    return compare_with_integer(value, other, op);
  }

  static void dealloc(PyObject* self) { delete_object<Value>(self); }

  static PyTypeObject* create() {
    std::vector<PyType_Slot> slots{
        {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc)},
        {Py_tp_repr, reinterpret_cast<void*>(&repr)},
        {Py_tp_str, reinterpret_cast<void*>(&repr)},
        {Py_nb_int, reinterpret_cast<void*>(&to_int)},
        {Py_tp_richcompare, reinterpret_cast<void*>(&richcompare)},
        {Py_tp_hash, reinterpret_cast<void*>(&PyObject_HashNotImplemented)},
    };
    std::string doc = Desc::text;
    unsigned flags = Py_TPFLAGS_DISALLOW_INSTANTIATION;
    if constexpr (Desc::constructible) {
      slots.push_back({Py_tp_new, reinterpret_cast<void*>(&tp_new)});
      doc = std::string(Desc::name) + "()\n--\n\n" + doc;
      flags = 0;
    }
    PyTypeObject* type = create_type(Desc::name, doc, flags, std::move(slots), sizeof(Object<Value>));
    std::array<const char*, n_members> names{};
    std::array<Ref, n_members> members;
    for (std::size_t i = 0; i < n_members; ++i) {
      names[i] = Desc::members[i].name;
      members[i] = new_object(type, Value{Desc::members[i].value});
    }
    add_members(type, names, members);
    return type;
  }
};

}  // namespace binding
