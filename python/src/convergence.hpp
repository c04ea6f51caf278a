#pragma once
// Python face of the convergence role: its kinds. The only kind never stops a run
// early, so a member is the whole option.
#include <array>

#include "binding/kinds.hpp"
#include "kinds.hpp"

namespace faces {

struct ConvergenceKindsClass {
  using Value = genetic::ConvergenceKind;
  using Machinery = binding::Kinds<ConvergenceKindsClass>;
  static constexpr const char* name = "ConvergenceKinds";
  static constexpr const char* text = "The different kinds of convergence included in the bindings.";
  static constexpr bool constructible = true;
  static constexpr std::array members{
      binding::Member<Value>{"Never", Value::Never},
  };
};

}  // namespace faces

template <>
struct binding::ClassFor<genetic::ConvergenceKind> {
  using type = faces::ConvergenceKindsClass;
};
