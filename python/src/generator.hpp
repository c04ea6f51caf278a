#pragma once
// Python face of the generator role: its kinds. The generator takes no parameters,
// so a member is the whole option.
#include <array>

#include "binding/kinds.hpp"
#include "kinds.hpp"

namespace faces {

struct GeneratorKindsClass {
  using Value = genetic::GeneratorKind;
  using Machinery = binding::Kinds<GeneratorKindsClass>;
  static constexpr const char* name = "GeneratorKinds";
  static constexpr const char* text = "Generator kinds. Primary use is for generators without further parameters.";
  static constexpr bool constructible = false;
  static constexpr std::array members{
      binding::Member<Value>{"RandomSequence", Value::RandomSequence},
  };
};

}  // namespace faces

template <>
struct binding::ClassFor<genetic::GeneratorKind> {
  using type = faces::GeneratorKindsClass;
};
