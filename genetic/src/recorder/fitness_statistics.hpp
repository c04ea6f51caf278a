#pragma once
// Statistics records of evaluated populations.
#include <cstdint>
#include <span>

#include "population/chromosome.hpp"

namespace genetic {

struct FitnessStatistics {
  std::uint64_t size = 0;
  double min = 0.0;
  double max = 0.0;
  double sum = -0.0;
  double mean = 0.0;
  double variance = 0.0;  // sum of squared deviations from the mean, undivided

  bool operator==(const FitnessStatistics&) const = default;
};

// The statistics of one population, in population order; a Fault for a chromosome
// without fitness.
FitnessStatistics fitness_statistics(std::span<const Chromosome> chromosomes);

}  // namespace genetic
