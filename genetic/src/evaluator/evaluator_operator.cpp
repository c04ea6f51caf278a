#include "evaluator/evaluator_operator.hpp"

namespace genetic {

double EvaluatorOperator::evaluate_chromosome(Chromosome& chromosome) const {
  if (!chromosome.fitness) chromosome.fitness = fitness_of(chromosome.genes);
  return *chromosome.fitness;
}

void EvaluatorOperator::evaluate_population(std::span<Chromosome> chromosomes) const {
  for (Chromosome& chromosome : chromosomes) evaluate_chromosome(chromosome);
}

}  // namespace genetic
