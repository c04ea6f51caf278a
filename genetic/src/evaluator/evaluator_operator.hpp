#pragma once
// The evaluator role as a run calls it: once per population, never per gene, so the
// per-gene work stays inlined inside each implementation.
#include <span>

#include "population/chromosome.hpp"

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

}  // namespace genetic
