#pragma once
// Uniform selection with replacement; holds nothing.
#include <span>

#include "selector/selector_operator.hpp"

namespace genetic {

class RandomSelector final : public SelectorOperator {
 public:
  // A Fault "cannot sample empty range" on an empty population.
  const Chromosome& select_one(RandomSource& rng, std::span<const Chromosome> population) override;
  void prepare(std::span<const Chromosome> population) override;
};

}  // namespace genetic
