#include "selector/random.hpp"

namespace genetic {

const Chromosome& SelectorRandom::select_one(RandomSource& rng, std::span<const Chromosome> population) {
  return population[rng.uniform_index(0, population.size())];
}

void SelectorRandom::prepare(std::span<const Chromosome>) {}

Chromosomes SelectorRandom::select(RandomSource& rng, std::span<const Chromosome> population, Count count) {
  const std::uint64_t n = count.value_or(population.size());
  Chromosomes chosen;
  chosen.reserve(n);
  for (std::uint64_t k = 0; k < n; ++k) chosen.push_back(select_one(rng, population));
  return chosen;
}

}  // namespace genetic
