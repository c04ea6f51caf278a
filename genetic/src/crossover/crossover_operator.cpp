#include "crossover/crossover_operator.hpp"

#include <optional>
#include <string>

#include "fault.hpp"

namespace genetic {
namespace {

[[noreturn, gnu::cold]] void fault_no_pair(std::size_t n_parents, std::uint64_t n) {
  fault("crossover needs at least two parents to form a pair; it was given " + std::to_string(n_parents) +
        " for a count of " + std::to_string(n));
}

}  // namespace

std::pair<Chromosome, Chromosome> CrossoverOperator::cross_pair(RandomSource& rng, const Chromosome& a,
                                                                const Chromosome& b) const {
  auto [genes1, genes2] = cross_genes(rng, a.genes, b.genes);
  return {Chromosome{std::move(genes1), std::nullopt}, Chromosome{std::move(genes2), std::nullopt}};
}

Chromosomes CrossoverOperator::cross_population(RandomSource& rng, std::span<const Chromosome> population,
                                                std::span<const std::size_t> picks, Count count,
                                                double p_crossover) const {
  const std::size_t n_parents = picks.size();
  const std::uint64_t n = count.value_or(n_parents);
  if (n == 0) return {};
  const std::uint64_t n_pairs = n_parents / 2;
  if (n_pairs == 0) fault_no_pair(n_parents, n);

  const std::uint64_t n_uses = n / 2 + (n & 1);  // pair uses needed: ceil(n / 2)
  Chromosomes offspring;
  offspring.reserve(n_uses * 2);
  std::uint64_t pair = 0;
  for (std::uint64_t use = 0; use < n_uses; ++use) {
    const Chromosome& a = population[picks[2 * pair]];
    const Chromosome& b = population[picks[2 * pair + 1]];
    if (rng.uniform_f64() > p_crossover) {
      offspring.push_back(a);
      offspring.push_back(b);
    } else {
      auto [child1, child2] = cross_pair(rng, a, b);
      offspring.push_back(std::move(child1));
      offspring.push_back(std::move(child2));
    }
    if (++pair == n_pairs) pair = 0;
  }
  return offspring;
}

}  // namespace genetic
