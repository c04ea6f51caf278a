#pragma once
// The first population of a run: uniformly random orderings of 0 .. n_genes - 1.
#include <cstdint>

#include "population/chromosome.hpp"
#include "random/random_source.hpp"

namespace genetic {

struct SequenceGenerator {
  Chromosome generate(RandomSource& rng, std::uint64_t n_genes) const;
  Chromosomes generate_population(RandomSource& rng, std::uint64_t n_chromosomes, std::uint64_t n_genes) const;
};

}  // namespace genetic
