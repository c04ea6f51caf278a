#pragma once
// Crossovers for orderings that keep them orderings: IPX keeps a random subset of
// positions from each parent and fills the rest with the missing genes in the order
// in which the other parent holds them.
#include <cstddef>
#include <span>
#include <utility>

#include "crossover/crossover_operator.hpp"

namespace genetic {

// The deterministic part of IPX: children of A and B given which positions are kept
// (keep has the length of A). Both children have A's length; positions left without
// a gene stay 0. Faults when a kept position lies beyond B, or when more genes arrive
// than there are free positions.
std::pair<Genes, Genes> ipx_children(std::span<const bool> keep, std::span<const Gene> a, std::span<const Gene> b);

// Bytes the calling thread's IPX buffers hold between crossings: at most 1 MiB, so a
// run over long chromosomes leaves no large scratch behind it.
std::size_t ipx_scratch_bytes() noexcept;

class IpxCrossover final : public CrossoverOperator {
 public:
  // One next_u32 per position of A; a clear top bit keeps the position.
  std::pair<Genes, Genes> cross_genes(RandomSource& rng, std::span<const Gene> a,
                                      std::span<const Gene> b) const override;
};

}  // namespace genetic
