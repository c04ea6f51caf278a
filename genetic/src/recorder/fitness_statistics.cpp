#include "recorder/fitness_statistics.hpp"

#include "fault.hpp"

namespace genetic {
namespace {

double fitness_at(const Chromosome& chromosome) {
  if (!chromosome.fitness) [[unlikely]]
    fault("cannot record the statistics of a chromosome without fitness");
  return *chromosome.fitness;
}

}  // namespace

FitnessStatistics fitness_statistics(std::span<const Chromosome> chromosomes) {
  FitnessStatistics stats;
  const std::size_t n = chromosomes.size();
  if (n == 0) return stats;

  // The values are read in place rather than collected first: the arithmetic, and
  // its order, is the same, and nothing is allocated.
  double sum = -0.0;
  double min = fitness_at(chromosomes[0]);
  double max = min;
  for (const Chromosome& chromosome : chromosomes) {
    const double f = fitness_at(chromosome);
    sum += f;
    // Strict comparisons: a NaN never replaces either bound, and a NaN first value stays.
    if (f < min) min = f;
    if (f > max) max = f;
  }
  const double mean = sum / static_cast<double>(n);
  double variance = 0.0;
  for (const Chromosome& chromosome : chromosomes) {
    const double deviation = mean - *chromosome.fitness;
    variance += deviation * deviation;
  }

  stats.size = n;
  stats.min = min;
  stats.max = max;
  stats.sum = sum;
  stats.mean = mean;
  stats.variance = variance;
  return stats;
}

}  // namespace genetic
