#pragma once
// Crossover options as callers give them, and the operators a run makes of them.
#include <memory>

#include "crossover/crossover_operator.hpp"
#include "kinds.hpp"

namespace genetic {

struct CrossoverBlend {
  double alpha = 0.0;
  bool operator==(const CrossoverBlend&) const = default;
};

struct CrossoverSimulatedBinary {
  double eta = 0.0;
  bool operator==(const CrossoverSimulatedBinary&) const = default;
};

// ConfigError "unrecognized crossover options" for the kinds Blend and SimulatedBinary,
// which are reached only through their parameter objects.
std::unique_ptr<CrossoverOperator> make_crossover(CrossoverKind kind);
std::unique_ptr<CrossoverOperator> make_crossover(const CrossoverBlend& options);
std::unique_ptr<CrossoverOperator> make_crossover(const CrossoverSimulatedBinary& options);

}  // namespace genetic
