#pragma once
// The crossover role: called once per population, or once per pair; the per-gene
// work stays inlined inside each implementation. Every draw comes from the run's
// RandomSource, passed first, so the order of calls is the order of draws.
#include <cstddef>
#include <span>
#include <utility>

#include "population/chromosome.hpp"
#include "random/random_source.hpp"

namespace genetic {

class CrossoverOperator {
 public:
  virtual ~CrossoverOperator() = default;
  virtual std::pair<Genes, Genes> cross_genes(RandomSource& rng, std::span<const Gene> a,
                                              std::span<const Gene> b) const = 0;
  // Two children without fitness.
  std::pair<Chromosome, Chromosome> cross_pair(RandomSource& rng, const Chromosome& a, const Chromosome& b) const;
  // The parents population[picks[0]], population[picks[1]], ... in consecutive pairs,
  // one decision draw each, until at least `count` chromosomes exist (absent count:
  // the number of picks). The parents are read where they are: only the pairs passed
  // on unchanged are copied.
  Chromosomes cross_population(RandomSource& rng, std::span<const Chromosome> population,
                               std::span<const std::size_t> picks, Count count, double p_crossover) const;
};

}  // namespace genetic
