#pragma once
// Small evaluator and recorder for tests of the lineage and the loop: their results
// are easy to predict and they count what they are asked to do.
#include <cstddef>

#include "evaluator/evaluator_operator.hpp"
#include "recorder/recorder_operator.hpp"

namespace genetic::testing_doubles {

// Fitness is the sum of the genes; counts every fitness it computes.
class SumEvaluator final : public EvaluatorOperator {
 public:
  double fitness_of(std::span<const Gene> genes) const override {
    ++computed;
    double sum = 0.0;
    for (const Gene g : genes) sum += static_cast<double>(g);
    return sum;
  }
  mutable std::size_t computed = 0;
};

// size: the population's size; sum: its fitness sum; min: how many members lacked a
// fitness when recorded (always 0 when evaluation comes first); max: the generation.
class SummaryRecorder final : public RecorderOperator {
 public:
  FitnessStatistics record(const Population& population) const override {
    FitnessStatistics record;
    record.size = population.chromosomes.size();
    record.sum = 0.0;
    for (const Chromosome& c : population.chromosomes) {
      if (c.fitness) {
        record.sum += *c.fitness;
      } else {
        record.min += 1.0;
      }
    }
    record.max = static_cast<double>(population.generation);
    ++recorded;
    return record;
  }
  mutable std::size_t recorded = 0;
};

}  // namespace genetic::testing_doubles
