#include "mutator/swap.hpp"

#include <cmath>
#include <span>
#include <utility>

#include "fault.hpp"

namespace genetic {
namespace {

constexpr const char* kNothingToMutate = "cannot mutate a population from an empty offspring list";

// The chromosome test is strict: with p_mutation = 0.0 nothing is ever mutated.
inline void mutate_copy(const SwapMutator& mutator, RandomSource& rng, Chromosome& copy, double p_mutation) {
  if (rng.uniform_f64() < p_mutation) {
    mutator.mutate_genes(rng, copy.genes);
    copy.fitness.reset();
  }
}

// Copies taken in cycle, for a count beyond the offspring: some chromosome is taken
// twice, so the offspring must stay intact.
Chromosomes mutate_copies(const SwapMutator& mutator, RandomSource& rng, std::span<const Chromosome> offspring,
                          std::uint64_t n, double p_mutation) {
  if (offspring.empty()) fault(kNothingToMutate);
  Chromosomes result;
  result.reserve(n);
  std::uint64_t source = 0;
  for (std::uint64_t k = 0; k < n; ++k) {
    result.push_back(offspring[source]);
    mutate_copy(mutator, rng, result.back(), p_mutation);
    if (++source == offspring.size()) source = 0;
  }
  return result;
}

}  // namespace

void SwapMutator::mutate_genes(RandomSource& rng, Genes& genes) const {
  const std::uint64_t length = genes.size();
  const std::uint64_t below = swap_draws_below(p_swap_);
  // The position test is not strict: with p_swap = 0.0 a draw of exactly 0.0 still swaps.
  // The draws of the positions that do not swap run in one call.
  for (std::uint64_t i = 0; (i = rng.first_draw_below(below, i, length)) < length; ++i) {
    // One gene has no partner: uniform_index(0, 0) faults with the empty-range message.
    const std::uint64_t j = swap_partner(i, rng.uniform_index(0, length - 1));
    std::swap(genes[i], genes[j]);
  }
}

Chromosomes SwapMutator::mutate_population(RandomSource& rng, Chromosomes&& offspring, Count count,
                                           double p_mutation) const {
  const std::uint64_t n = count.value_or(offspring.size());
  if (n > offspring.size()) return mutate_copies(*this, rng, offspring, n, p_mutation);
  Chromosomes result = std::move(offspring);
  result.erase(result.begin() + static_cast<std::ptrdiff_t>(n), result.end());
  for (auto& chromosome : result) mutate_copy(*this, rng, chromosome, p_mutation);
  return result;
}

}  // namespace genetic
