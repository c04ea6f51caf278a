#pragma once
// Python faces of the mutator role: its kinds and the swap mutator's option class.
#include <array>
#include <tuple>

#include "binding/kinds.hpp"
#include "binding/klass.hpp"
#include "kinds.hpp"
#include "mutator/mutator.hpp"

namespace faces {

// Named for completeness only: the mutator option is always a MutatorSwap object.
struct MutatorKindsClass {
  using Value = genetic::MutatorKind;
  using Machinery = binding::Kinds<MutatorKindsClass>;
  static constexpr const char* name = "MutatorKinds";
  static constexpr const char* text = "Mutator kinds to select from.";
  static constexpr bool constructible = false;
  static constexpr std::array members{
      binding::Member<Value>{"Swap", Value::Swap},
  };
};

struct MutatorSwapClass {
  using Value = genetic::MutatorSwap;
  static constexpr const char* name = "MutatorSwap";
  static constexpr const char* text =
      "Swap mutation by independently checking each position to be swapped with a random other.\n"
      "\n"
      "`p_swap` represents the probability that a position is swapped.";
  static constexpr std::tuple fields{
      binding::Field<&Value::p_swap>{"p_swap", "Probability that a position is swapped."},
  };
};

}  // namespace faces

template <>
struct binding::ClassFor<genetic::MutatorKind> {
  using type = faces::MutatorKindsClass;
};
template <>
struct binding::ClassFor<genetic::MutatorSwap> {
  using type = faces::MutatorSwapClass;
};
