#include "crossover/point.hpp"

#include <algorithm>

#include "fault.hpp"

namespace genetic {

std::pair<Genes, Genes> point_children(std::size_t cut, std::span<const Gene> a, std::span<const Gene> b) {
  Genes child1;
  child1.reserve(b.size());
  child1.insert(child1.end(), a.begin(), a.begin() + static_cast<std::ptrdiff_t>(cut));
  child1.insert(child1.end(), b.begin() + static_cast<std::ptrdiff_t>(cut), b.end());
  Genes child2;
  child2.reserve(a.size());
  child2.insert(child2.end(), b.begin(), b.begin() + static_cast<std::ptrdiff_t>(cut));
  child2.insert(child2.end(), a.begin() + static_cast<std::ptrdiff_t>(cut), a.end());
  return {std::move(child1), std::move(child2)};
}

std::pair<Genes, Genes> PointCrossover::cross_genes(RandomSource& rng, std::span<const Gene> a,
                                                    std::span<const Gene> b) const {
  const std::size_t shorter = std::min(a.size(), b.size());
  // m - 1 would wrap to the largest index and make a cut far outside both lists.
  if (shorter == 0) [[unlikely]] {
    fault("index out of range: one-point crossover of a chromosome with no genes");
  }
  const auto cut = static_cast<std::size_t>(rng.uniform_index(1, shorter - 1));
  return point_children(cut, a, b);
}

}  // namespace genetic
