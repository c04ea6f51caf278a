#pragma once
// Fitness-proportionate selection: a chromosome is chosen with probability
// proportional to its fitness, read from a table of running totals.
#include <cstddef>
#include <span>
#include <vector>

#include "selector/selector_operator.hpp"

namespace genetic {

// The index chosen by a draw u in [0, 1): the first j with weights[j] >= u * total
// (a comparison with NaN is false); when none qualifies, the last index.
// `weights` must not be empty.
std::size_t roulette_pick(std::span<const double> weights, double u) noexcept;

class RouletteSelector final : public SelectorOperator {
 public:
  const Chromosome& select_one(RandomSource& rng, std::span<const Chromosome> population) override;
  // Rebuilds the running totals; a Fault on a chromosome without fitness.
  void prepare(std::span<const Chromosome> population) override;

  std::span<const double> weights() const noexcept { return weights_; }
  // The index a draw u chooses from the current table: roulette_pick's answer,
  // found by binary search when the totals allow it. The table must not be empty.
  std::size_t pick(double u) const noexcept;

 private:
  std::vector<double> weights_;
  // True when the totals never decrease and are finite, so a binary search finds
  // what the scan would.
  bool sorted_ = true;
};

}  // namespace genetic
