#pragma once
// Crossovers that treat gene values as numbers and mix the parents' values position
// by position, in 64-bit floating point. On orderings their children are in general
// not orderings.
#include <span>
#include <utility>

#include "crossover/crossover_operator.hpp"

namespace genetic {

// The gene a mixed value stands for, truncated toward zero. A Fault unless
// -1 < value < 2^64 (NaN included).
Gene gene_from_value(double value);

// The children's values at one position from that position's draw u, with
// k = alpha + alpha + 1. Child 1's value is converted (and may fault) first.
std::pair<Gene, Gene> blend_values(double u, double k, double alpha, Gene a, Gene b);

// The same for the simulated binary crossover, with e = 1 / (eta + 1).
std::pair<Gene, Gene> simulated_binary_values(double u, double e, Gene a, Gene b);

// Children sized like their own parent; positions beyond the shorter parent stay 0.
// One uniform_f64 per computed position, in position order.
class BlendCrossover final : public CrossoverOperator {
 public:
  explicit BlendCrossover(double alpha) noexcept : alpha_(alpha) {}
  std::pair<Genes, Genes> cross_genes(RandomSource& rng, std::span<const Gene> a,
                                      std::span<const Gene> b) const override;
  double alpha() const noexcept { return alpha_; }

 private:
  double alpha_;
};

class SimulatedBinaryCrossover final : public CrossoverOperator {
 public:
  explicit SimulatedBinaryCrossover(double eta) noexcept : eta_(eta) {}
  std::pair<Genes, Genes> cross_genes(RandomSource& rng, std::span<const Gene> a,
                                      std::span<const Gene> b) const override;
  double eta() const noexcept { return eta_; }

 private:
  double eta_;
};

}  // namespace genetic
