#include "selector/roulette.hpp"

#include <algorithm>
#include <cmath>

#include "fault.hpp"

namespace genetic {

std::size_t roulette_pick(std::span<const double> weights, double u) noexcept {
  const double target = u * weights.back();
  for (std::size_t j = 0; j < weights.size(); ++j) {
    if (weights[j] >= target) return j;
  }
  // Reached only through negative or NaN fitness values.
  return weights.size() - 1;
}

std::size_t RouletteSelector::pick(double u) const noexcept {
  if (!sorted_) return roulette_pick(weights_, u);
  // Totals of finite non-negative values never decrease, and the target lies in
  // [0, total]: the first total not below it is the one the scan stops at. The
  // search halves the range by a conditional move, not a branch: the draws make
  // every comparison a coin flip the processor could not predict.
  const double target = u * weights_.back();
  const double* first = weights_.data();
  std::size_t length = weights_.size();
  while (length > 1) {
    const std::size_t half = length / 2;
    first = first[half - 1] < target ? first + half : first;
    length -= half;
  }
  return static_cast<std::size_t>(first - weights_.data()) + (*first < target ? 1 : 0);
}

void RouletteSelector::prepare(std::span<const Chromosome> population) {
  weights_.clear();
  weights_.reserve(population.size());
  double total = 0.0;
  bool non_negative = true;
  for (const auto& chromosome : population) {
    if (!chromosome.fitness) [[unlikely]]
      fault("roulette selection needs every chromosome to have a fitness");
    non_negative &= *chromosome.fitness >= 0.0;  // false for NaN as well
    total += *chromosome.fitness;
    weights_.push_back(total);
  }
  sorted_ = non_negative && std::isfinite(total);
}

const Chromosome& RouletteSelector::select_one(RandomSource& rng, std::span<const Chromosome> population) {
  if (weights_.empty()) [[unlikely]]
    fault("roulette selection from an empty weight table");
  const std::size_t j = pick(rng.uniform_f64());
  if (j >= population.size()) [[unlikely]]
    fault("roulette selection picked a chromosome beyond the population");
  return population[j];
}

}  // namespace genetic
