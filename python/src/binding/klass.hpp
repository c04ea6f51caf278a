#pragma once
// Declarative classes. A description names the class, its text, its fields (member
// pointers with attribute names and docstrings) and, where they differ, its
// constructor parameters; everything else — __new__, attributes, equality, the
// type object — is generated here once for all classes.
//
//   struct ChromosomeClass {
//     using Value = genetic::Chromosome;
//     static constexpr const char* name = "Chromosome";
//     static constexpr const char* text = "...";
//     static constexpr std::tuple fields{Field<&Value::genes>{"genes", "..."}, ...};
//     // optional: parameters (constructor parameters when they are not the fields),
//     //           check(const Value&) (run after conversion, before the object exists),
//     //           methods (a null-terminated PyMethodDef array).
//   };
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/binder.hpp"
#include "binding/convert.hpp"
#include "binding/errors.hpp"
#include "binding/object.hpp"

namespace binding {

template <class>
struct MemberOf;
template <class C, class T>
struct MemberOf<T C::*> {
  using Type = T;
};

template <auto Member>
struct Field {
  using Type = typename MemberOf<decltype(Member)>::Type;
  static constexpr auto member = Member;
  const char* name;
  const char* doc = nullptr;
};

template <class T>
inline constexpr bool is_optional = false;
template <class T>
inline constexpr bool is_optional<std::optional<T>> = true;

// A new heap type with these slots, its name and docstring copied into it; kept for the process.
PyTypeObject* create_type(const char* name, const std::string& doc, unsigned flags, std::vector<PyType_Slot> slots,
                          std::size_t basic_size);

template <class Desc>
struct Class {
  using Value = typename Desc::Value;
  using Obj = Object<Value>;

  static constexpr const auto& parameters() {
    if constexpr (requires { Desc::parameters; }) {
      return Desc::parameters;
    } else {
      return Desc::fields;
    }
  }
  using Parameters = std::remove_cvref_t<decltype(parameters())>;
  using Fields = std::remove_cvref_t<decltype(Desc::fields)>;
  static constexpr std::size_t n_parameters = std::tuple_size_v<Parameters>;
  static constexpr std::size_t n_fields = std::tuple_size_v<Fields>;

  template <std::size_t I>
  using ParameterField = std::remove_cvref_t<std::tuple_element_t<I, Parameters>>;
  template <std::size_t I>
  using AttributeField = std::remove_cvref_t<std::tuple_element_t<I, Fields>>;

  static constexpr auto parameter_names = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<const char*, n_parameters>{std::get<I>(parameters()).name...};
  }(std::make_index_sequence<n_parameters>{});

  // Parameters with an optional type default to None; they come last.
  static constexpr std::size_t n_required = []<std::size_t... I>(std::index_sequence<I...>) {
    std::size_t count = 0;
    bool leading = true;
    ((leading = leading && !is_optional<typename ParameterField<I>::Type>, count += leading), ...);
    return count;
  }(std::make_index_sequence<n_parameters>{});

  static std::string text_signature() {
    std::string text = "(";
    for (std::size_t i = 0; i < n_parameters; ++i) {
      if (i > 0) text += ", ";
      text += parameter_names[i];
      if (i >= n_required) text += "=None";
    }
    return text + ")";
  }

  static const Signature& signature() {
    static const std::string full_name = std::string(Desc::name) + ".__new__()";
    static const Signature signature{full_name.c_str(), parameter_names, n_required};
    return signature;
  }

  static PyObject* tp_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return boundary<PyObject*>(nullptr, [&] {
      std::array<PyObject*, n_parameters> given{};
      bind_arguments(signature(), args, kwargs, given);
      // Every argument is converted before the object exists: a failure stores nothing.
      Value value{};
      [&]<std::size_t... I>(std::index_sequence<I...>) {
        ((value.*ParameterField<I>::member =
              extract_argument<typename ParameterField<I>::Type>(given[I] ? given[I] : Py_None, parameter_names[I])),
         ...);
      }(std::make_index_sequence<n_parameters>{});
      if constexpr (requires { Desc::check(value); }) Desc::check(value);
      return new_object(type, std::move(value)).release();
    });
  }

  template <std::size_t I>
  static PyObject* get(PyObject* self, void*) {
    return boundary<PyObject*>(nullptr, [&] {
      auto* object = as_object<Value>(self);
      ReadGuard guard(object->borrow);
      return to_python(std::as_const(object->value.*AttributeField<I>::member)).release();
    });
  }

  template <std::size_t I>
  static int set(PyObject* self, PyObject* new_value, void*) {
    return boundary<int>(-1, [&] {
      if (new_value == nullptr) raise(PyExc_AttributeError, "can't delete attribute");
      using Type = typename AttributeField<I>::Type;
      Type converted = extract_argument<Type>(new_value, std::get<I>(Desc::fields).name);
      auto* object = as_object<Value>(self);
      {
        WriteGuard guard(object->borrow);
        std::swap(object->value.*AttributeField<I>::member, converted);
      }
      return 0;  // the old value is destroyed here, outside the mark
    });
  }

  static PyObject* richcompare(PyObject* self, PyObject* other, int op) {
    return boundary<PyObject*>(nullptr, [&]() -> PyObject* {
      if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
      auto* left = as_object<Value>(self);
      auto* right = as_object<Value>(other);
      if (!left->borrow.try_read()) Py_RETURN_NOTIMPLEMENTED;
      struct EndRead {
        BorrowFlag& flag;
        ~EndRead() { flag.end_read(); }
      } end_left{left->borrow};
      if (!right->borrow.try_read()) raise_panic(kMutablyBorrowed);
      EndRead end_right{right->borrow};
      const bool equal = left->value == right->value;
      return PyBool_FromLong(equal == (op == Py_EQ));
    });
  }

  static void dealloc(PyObject* self) { delete_object<Value>(self); }

  static PyGetSetDef* getset() {
    static auto table = []<std::size_t... I>(std::index_sequence<I...>) {
      return std::array<PyGetSetDef, n_fields + 1>{
          PyGetSetDef{std::get<I>(Desc::fields).name, &get<I>, &set<I>, std::get<I>(Desc::fields).doc, nullptr}...,
          PyGetSetDef{}};
    }(std::make_index_sequence<n_fields>{});
    return table.data();
  }

  static PyTypeObject* create() {
    std::vector<PyType_Slot> slots{
        {Py_tp_new, reinterpret_cast<void*>(&tp_new)},
        {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc)},
        {Py_tp_getset, getset()},
        {Py_tp_richcompare, reinterpret_cast<void*>(&richcompare)},
        {Py_tp_hash, reinterpret_cast<void*>(&PyObject_HashNotImplemented)},
    };
    if constexpr (requires { Desc::methods; })
      slots.push_back({Py_tp_methods, const_cast<PyMethodDef*>(Desc::methods)});
    const std::string doc = std::string(Desc::name) + text_signature() + "\n--\n\n" + Desc::text;
    return create_type(Desc::name, doc, 0, std::move(slots), sizeof(Obj));
  }
};

// Regular classes use Class<Desc>; descriptions that bring their own machinery
// (the kinds enumerations) name it as Desc::Machinery.
template <class Desc>
struct MachineryOf {
  using type = Class<Desc>;
};
template <class Desc>
  requires requires { typename Desc::Machinery; }
struct MachineryOf<Desc> {
  using type = typename Desc::Machinery;
};

template <class Desc>
PyTypeObject* type_object() {
  static PyTypeObject* type = MachineryOf<Desc>::type::create();
  return type;
}

}  // namespace binding
