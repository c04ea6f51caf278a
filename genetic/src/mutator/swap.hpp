#pragma once
// Swap mutation: exchanges of two positions, so an ordering stays an ordering.
#include <cstdint>
#include <span>

#include "lineage/chromosome.hpp"
#include "random_source.hpp"

namespace genetic {

// The partner of position i given j drawn from [0, L - 1): the positions other
// than i, each equally likely, never i itself.
constexpr std::uint64_t swap_partner(std::uint64_t i, std::uint64_t j) noexcept { return j >= i ? j + 1 : j; }

struct MutatorSwap {
  double p_swap = 0.0;

  void mutate_genes(RandomSource& rng, Genes& genes) const;
  // Exactly n new chromosomes (n = count, or the offspring's length), cycling
  // through the offspring; a Fault when there is nothing to copy.
  Chromosomes mutate_population(RandomSource& rng, std::span<const Chromosome> offspring, Count count,
                                double p_mutation) const;
  // The same result and draws, for an offspring list the caller no longer needs:
  // its chromosomes are moved instead of copied whenever each is taken at most once.
  Chromosomes mutate_population(RandomSource& rng, Chromosomes&& offspring, Count count, double p_mutation) const;

  bool operator==(const MutatorSwap&) const = default;
};

}  // namespace genetic
