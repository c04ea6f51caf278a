#pragma once
// Argument unions: a parameter that accepts an instance of one of several classes.
// Variants are tried in their declared order and the first that converts wins; when
// none does, one TypeError lists every variant's own failure.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <variant>

#include "binding/convert.hpp"

namespace binding {

template <class... Ts>
struct Union {
  const char* name;                                 // "Evaluator"
  std::array<const char*, sizeof...(Ts)> variants;  // "Matrix", "Value"
};

// Raises "failed to extract enum NAME ('V1 | V2')" with one line per variant's failure.
[[noreturn, gnu::cold]] void raise_union_error(const char* name, std::span<const char* const> variants,
                                               std::span<Ref> failures);

template <class... Ts>
std::variant<Ts...> extract_union(PyObject* object, const Union<Ts...>& union_) {
  std::array<Ref, sizeof...(Ts)> failures;
  std::variant<Ts...> result;
  const bool found = [&]<std::size_t... I>(std::index_sequence<I...>) {
    auto attempt = [&]<std::size_t K>(std::integral_constant<std::size_t, K>) {
      try {
        result.template emplace<K>(from_python<std::variant_alternative_t<K, std::variant<Ts...>>>(object));
        return true;
      } catch (const PythonError&) {
        failures[K] = Ref::steal(PyErr_GetRaisedException());
        return false;
      }
    };
    return (attempt(std::integral_constant<std::size_t, I>{}) || ...);
  }(std::index_sequence_for<Ts...>{});
  if (!found) raise_union_error(union_.name, union_.variants, failures);
  return result;
}

// As extract_union, with the "argument 'NAME': " prefix of every argument conversion.
template <class... Ts>
std::variant<Ts...> extract_union_argument(PyObject* object, const char* argument, const Union<Ts...>& union_) {
  try {
    return extract_union(object, union_);
  } catch (const PythonError&) {
    prefix_type_error(argument);
  }
}

}  // namespace binding
