#include "selector/random.hpp"

namespace genetic {

const Chromosome& RandomSelector::select_one(RandomSource& rng, std::span<const Chromosome> population) {
  return population[rng.uniform_index(0, population.size())];
}

void RandomSelector::prepare(std::span<const Chromosome>) {}

}  // namespace genetic
