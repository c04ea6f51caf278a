#include "operators.hpp"

#include <optional>
#include <string>

#include "fault.hpp"

namespace genetic {
namespace {

[[noreturn, gnu::cold]] void fault_no_pair(std::size_t n_parents, std::uint64_t n) {
  fault("crossover needs at least two parents to form a pair; it was given " + std::to_string(n_parents) +
        " for a count of " + std::to_string(n));
}

// Shared by the copying and the moving forms, so both draw and emit the same.
// `take(out, i, last_use)` appends parent i to out, moving it when last_use allows.
template <typename Take>
Chromosomes cross_pairs(const CrossoverOperator& crossover, RandomSource& rng, std::span<const Chromosome> parents,
                        Count count, double p_crossover, Take&& take) {
  const std::uint64_t n = count.value_or(parents.size());
  if (n == 0) return {};
  const std::uint64_t n_pairs = parents.size() / 2;
  if (n_pairs == 0) fault_no_pair(parents.size(), n);

  // Pair uses needed: ceil(n / 2). A use at index t is its pair's last when t + n_pairs reaches that.
  const std::uint64_t n_uses = n / 2 + (n & 1);
  Chromosomes offspring;
  offspring.reserve(n_uses * 2);
  std::uint64_t pair = 0;
  for (std::uint64_t use = 0; use < n_uses; ++use) {
    const std::size_t first = 2 * pair;
    if (rng.uniform_f64() > p_crossover) {
      const bool last_use = use + n_pairs >= n_uses;
      take(offspring, first, last_use);
      take(offspring, first + 1, last_use);
    } else {
      auto [child1, child2] = crossover.cross_pair(rng, parents[first], parents[first + 1]);
      offspring.push_back(std::move(child1));
      offspring.push_back(std::move(child2));
    }
    if (++pair == n_pairs) pair = 0;
  }
  return offspring;
}

}  // namespace

std::pair<Chromosome, Chromosome> CrossoverOperator::cross_pair(RandomSource& rng, const Chromosome& a,
                                                                const Chromosome& b) const {
  auto [genes1, genes2] = cross_genes(rng, a.genes, b.genes);
  return {Chromosome{std::move(genes1), std::nullopt}, Chromosome{std::move(genes2), std::nullopt}};
}

Chromosomes CrossoverOperator::cross_population(RandomSource& rng, std::span<const Chromosome> parents, Count count,
                                                double p_crossover) const {
  return cross_pairs(*this, rng, parents, count, p_crossover,
                     [parents](Chromosomes& out, std::size_t i, bool) { out.push_back(parents[i]); });
}

Chromosomes CrossoverOperator::cross_population(RandomSource& rng, Chromosomes&& parents, Count count,
                                                double p_crossover) const {
  return cross_pairs(*this, rng, parents, count, p_crossover, [&parents](Chromosomes& out, std::size_t i, bool last) {
    if (last) {
      out.push_back(std::move(parents[i]));
    } else {
      out.push_back(parents[i]);
    }
  });
}

}  // namespace genetic
