#include "selector/random.hpp"

namespace genetic {

const Chromosome& SelectorRandom::select_one(RandomSource& rng, std::span<const Chromosome> population) {
  return population[rng.uniform_index(0, population.size())];
}

void SelectorRandom::prepare(std::span<const Chromosome>) {}

}  // namespace genetic
