#pragma once
// Small random matrices and brute-force answers about them, for the search's tests.
#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "random/random_source.hpp"

namespace genetic::search_testing {

using Marks = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

// Each off-diagonal cell marked with probability `percent`/100, from a fixed seed.
inline Marks random_marks(std::uint64_t dimension, std::uint64_t percent, std::uint64_t seed) {
  RandomSource rng = RandomSource::from_seed(seed);
  Marks marks;
  for (std::uint64_t r = 0; r < dimension; ++r)
    for (std::uint64_t c = 0; c < dimension; ++c)
      if (r != c && rng.uniform_index(0, 100) < percent) marks.emplace_back(r, c);
  return marks;
}

// Marks above the diagonal counted cell by cell.
inline std::uint64_t count_feedback(const Marks& marks, const std::vector<std::uint64_t>& order) {
  std::vector<std::uint64_t> position(order.size());
  for (std::uint64_t p = 0; p < order.size(); ++p) position[order[p]] = p;
  std::uint64_t count = 0;
  for (const auto& [r, c] : marks) count += position[r] < position[c];
  return count;
}

inline std::vector<std::uint64_t> identity(std::uint64_t dimension) {
  std::vector<std::uint64_t> order(dimension);
  std::iota(order.begin(), order.end(), std::uint64_t{0});
  return order;
}

// The least feedback over all orderings.
inline std::uint64_t brute_minimum(const Marks& marks, std::uint64_t dimension) {
  std::vector<std::uint64_t> order = identity(dimension);
  std::uint64_t best = marks.size();
  do best = std::min(best, count_feedback(marks, order));
  while (std::next_permutation(order.begin(), order.end()));
  return best;
}

// `order` with the element at `from` moved to `to`.
inline std::vector<std::uint64_t> moved(std::vector<std::uint64_t> order, std::uint64_t from, std::uint64_t to) {
  const std::uint64_t element = order[from];
  order.erase(order.begin() + static_cast<std::ptrdiff_t>(from));
  order.insert(order.begin() + static_cast<std::ptrdiff_t>(to), element);
  return order;
}

}  // namespace genetic::search_testing
