#include "selector/selector_operator.hpp"

namespace genetic {

std::vector<std::size_t> SelectorOperator::select_indices(RandomSource& rng, std::span<const Chromosome> population,
                                                          Count count) {
  prepare(population);
  const std::uint64_t n = count.value_or(population.size());
  std::vector<std::size_t> picks;
  picks.reserve(n);
  for (std::uint64_t k = 0; k < n; ++k) {
    picks.push_back(static_cast<std::size_t>(&select_one(rng, population) - population.data()));
  }
  return picks;
}

}  // namespace genetic
