#pragma once
// One-point crossover: heads and tails of the two gene lists exchanged at one cut.
// It does not keep orderings valid.
#include <cstddef>
#include <span>
#include <utility>

#include "crossover/crossover_operator.hpp"

namespace genetic {

// The children for a cut at `cut`: A's head before it with B's tail from it, and B's
// head with A's tail. `cut` must not exceed either length.
std::pair<Genes, Genes> point_children(std::size_t cut, std::span<const Gene> a, std::span<const Gene> b);

class PointCrossover final : public CrossoverOperator {
 public:
  // One draw: the cut, uniform in 1 .. m - 2 for m the shorter length. A Fault
  // "cannot sample empty range" when m is 1 or 2, and an index fault when it is 0.
  std::pair<Genes, Genes> cross_genes(RandomSource& rng, std::span<const Gene> a,
                                      std::span<const Gene> b) const override;
};

}  // namespace genetic
