#pragma once
// Swap mutation: exchanges of two positions, so an ordering stays an ordering.
#include <span>

#include "lineage/chromosome.hpp"
#include "random_source.hpp"

namespace genetic {

struct MutatorSwap {
  double p_swap = 0.0;

  void mutate_genes(RandomSource& rng, Genes& genes) const;
  // Exactly n new chromosomes (n = count, or the offspring's length), cycling
  // through the offspring; a Fault when there is nothing to copy.
  Chromosomes mutate_population(RandomSource& rng, std::span<const Chromosome> offspring, Count count,
                                double p_mutation) const;

  bool operator==(const MutatorSwap&) const = default;
};

}  // namespace genetic
