#pragma once
// Python faces of the crossover role: its kinds and the option classes of the two
// value-blending crossovers, which carry a parameter and so are not kinds.
#include <array>
#include <tuple>

#include "binding/kinds.hpp"
#include "binding/klass.hpp"
#include "crossover/crossover.hpp"
#include "kinds.hpp"

namespace faces {

struct CrossoverKindsClass {
  using Value = genetic::CrossoverKind;
  using Machinery = binding::Kinds<CrossoverKindsClass>;
  static constexpr const char* name = "CrossoverKinds";
  static constexpr const char* text = "Crossover kinds enumeration.";
  static constexpr bool constructible = true;
  static constexpr std::array members{
      binding::Member<Value>{"IPX", Value::IPX},
      binding::Member<Value>{"Point", Value::Point},
      binding::Member<Value>{"Blend", Value::Blend},
      binding::Member<Value>{"SimulatedBinary", Value::SimulatedBinary},
  };
};

// The docstrings are fixed interface texts, pinned by the tests: `rng.gen()` stands for
// a uniform draw in [0, 1), not for a function of this module.
struct CrossoverBlendClass {
  using Value = genetic::CrossoverBlend;
  static constexpr const char* name = "CrossoverBlend";
  static constexpr const char* text =
      "Blending crossover for float-like valued gene sequences\n"
      "\n"
      "Blends both parents' values to achieve offspring. Note that alpha pulls \"further\"\n"
      "than the domain between the two parents for a 1.0 value.\n"
      "\n"
      "Each value is determined by:\n"
      "`gamma * A + (1 - gamma)`, where `gamma = (1.0 + 2.0 * alpha) * rng.gen() - alpha`\n"
      "\n"
      "This means that the interval is extended past regular averaging for any `alpha > 0.0`.";
  static constexpr std::tuple fields{
      binding::Field<&Value::alpha>{
          "alpha",
          "`gamma * A + (1 - gamma)`, where `gamma = (1.0 + 2.0 * alpha) * rng.gen() - alpha`\n"
          "This means that the interval is extended past regular averaging for any `alpha > 0.0`."},
  };
};

struct CrossoverSimulatedBinaryClass {
  using Value = genetic::CrossoverSimulatedBinary;
  static constexpr const char* name = "CrossoverSimulatedBinary";
  static constexpr const char* text =
      "Simulated binary crossover for float-like valued gene sequences\n"
      "\n"
      "`eta` is the crowding degree of the crossover. The higher the eta, the more\n"
      "the offspring resembles its parents.";
  static constexpr std::tuple fields{
      binding::Field<&Value::eta>{"eta",
                                  "Crowding degree of the crossover.\n"
                                  "The higher the eta, the more the offspring resembles its parents."},
  };
};

}  // namespace faces

template <>
struct binding::ClassFor<genetic::CrossoverKind> {
  using type = faces::CrossoverKindsClass;
};
template <>
struct binding::ClassFor<genetic::CrossoverBlend> {
  using type = faces::CrossoverBlendClass;
};
template <>
struct binding::ClassFor<genetic::CrossoverSimulatedBinary> {
  using type = faces::CrossoverSimulatedBinaryClass;
};
