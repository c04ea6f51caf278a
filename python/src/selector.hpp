#pragma once
// Python face of the selector role: its kinds. Selectors take no parameters, so a
// member is the whole option.
#include <array>

#include "binding/kinds.hpp"
#include "kinds.hpp"

namespace faces {

struct SelectorKindsClass {
  using Value = genetic::SelectorKind;
  using Machinery = binding::Kinds<SelectorKindsClass>;
  static constexpr const char* name = "SelectorKinds";
  static constexpr const char* text = "Selector kinds. What individual selection method to use.";
  static constexpr bool constructible = true;
  static constexpr std::array members{
      binding::Member<Value>{"Roulette", Value::Roulette},
      binding::Member<Value>{"Random", Value::Random},
  };
};

}  // namespace faces

template <>
struct binding::ClassFor<genetic::SelectorKind> {
  using type = faces::SelectorKindsClass;
};
