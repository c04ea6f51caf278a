#pragma once
// The four polymorphic roles of a run. Each is called once per population (or per
// pair), never per gene: the per-gene work is inlined inside each implementation.
// Every drawing operation takes the run's RandomSource first, so the order of calls
// is the order of draws.
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "population/chromosome.hpp"
#include "random/random_source.hpp"
#include "recorder/fitness_statistics.hpp"

namespace genetic {

class EvaluatorOperator {
 public:
  virtual ~EvaluatorOperator() = default;
  // The fitness of a gene sequence; draws nothing, changes nothing.
  virtual double fitness_of(std::span<const Gene> genes) const = 0;
  // Fills a missing fitness; a present one is a cache and is returned unchanged.
  double evaluate_chromosome(Chromosome& chromosome) const;
  // evaluate_chromosome on every chromosome, in order.
  virtual void evaluate_population(std::span<Chromosome> chromosomes) const;
};

class RecorderOperator {
 public:
  virtual ~RecorderOperator() = default;
  virtual FitnessStatistics record(const Population& population) const = 0;
};

class SelectorOperator {
 public:
  virtual ~SelectorOperator() = default;
  virtual const Chromosome& select_one(RandomSource& rng, std::span<const Chromosome> population) = 0;
  virtual void prepare(std::span<const Chromosome> population) = 0;
  // Where the chosen members are: prepare, then `count` calls of select_one; absent
  // count: the population's length.
  std::vector<std::size_t> select_indices(RandomSource& rng, std::span<const Chromosome> population, Count count);
  // `count` copies (genes and fitness) of chosen members, with the draws of select_indices.
  Chromosomes select(RandomSource& rng, std::span<const Chromosome> population, Count count);
};

class CrossoverOperator {
 public:
  virtual ~CrossoverOperator() = default;
  virtual std::pair<Genes, Genes> cross_genes(RandomSource& rng, std::span<const Gene> a,
                                              std::span<const Gene> b) const = 0;
  // Two children without fitness.
  std::pair<Chromosome, Chromosome> cross_pair(RandomSource& rng, const Chromosome& a, const Chromosome& b) const;
  // Consecutive pairs, one decision draw each, until at least `count` chromosomes exist.
  Chromosomes cross_population(RandomSource& rng, std::span<const Chromosome> parents, Count count,
                               double p_crossover) const;
  // The same draws and result for the parents population[picks[0]], population[picks[1]], ...,
  // read where they are: a run copies only the pairs passed on unchanged, not every parent.
  Chromosomes cross_population(RandomSource& rng, std::span<const Chromosome> population,
                               std::span<const std::size_t> picks, Count count, double p_crossover) const;
};

}  // namespace genetic
