#pragma once
// Swap mutation: exchanges of two positions, so an ordering stays an ordering.
#include <cmath>
#include <cstdint>

#include "population/chromosome.hpp"
#include "random/random_source.hpp"

namespace genetic {

// The partner of position i given j drawn from [0, L - 1): the positions other
// than i, each equally likely, never i itself.
constexpr std::uint64_t swap_partner(std::uint64_t i, std::uint64_t j) noexcept { return j >= i ? j + 1 : j; }

// A uniform_f64 draw is k * 2^-53 for the 53-bit k = next_u64() >> 11, exactly, so
// the position test "not u > p_swap" holds for exactly the k below this count: none
// for a negative p, all for p >= 1 or NaN, else floor(p * 2^53) + 1 (scaling by 2^53
// is exact). Comparing k saves the conversion and the float compare per position.
inline std::uint64_t swap_draws_below(double p) noexcept {
  constexpr std::uint64_t kAll = std::uint64_t{1} << 53;
  if (!(p < 1.0)) return kAll;
  if (p < 0.0) return 0;
  return static_cast<std::uint64_t>(std::floor(p * 0x1.0p53)) + 1;
}

class SwapMutator {
 public:
  explicit SwapMutator(double p_swap) noexcept : p_swap_(p_swap) {}
  double p_swap() const noexcept { return p_swap_; }

  void mutate_genes(RandomSource& rng, Genes& genes) const;
  // Exactly n chromosomes (n = count, or the offspring's length), taken from the
  // offspring in cycle, each mutated with probability p_mutation; a Fault when there is
  // nothing to take. They are moved out of the offspring unless one is taken twice.
  Chromosomes mutate_population(RandomSource& rng, Chromosomes&& offspring, Count count, double p_mutation) const;

 private:
  double p_swap_;
};

}  // namespace genetic
