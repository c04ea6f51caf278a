#pragma once
// The selector role: called once per population for the whole list of parents.
// Every draw comes from the run's RandomSource, passed first, so the order of calls
// is the order of draws.
#include <cstddef>
#include <span>
#include <vector>

#include "population/chromosome.hpp"
#include "random/random_source.hpp"

namespace genetic {

class SelectorOperator {
 public:
  virtual ~SelectorOperator() = default;
  virtual const Chromosome& select_one(RandomSource& rng, std::span<const Chromosome> population) = 0;
  virtual void prepare(std::span<const Chromosome> population) = 0;
  // Where the chosen members are: prepare, then `count` calls of select_one; absent
  // count: the population's length.
  std::vector<std::size_t> select_indices(RandomSource& rng, std::span<const Chromosome> population, Count count);
};

}  // namespace genetic
