#include "search/mark_graph.hpp"

#include <algorithm>
#include <limits>

#include "fault.hpp"

namespace genetic {

MarkGraph::MarkGraph(std::uint64_t dimension, std::span<const std::pair<std::uint64_t, std::uint64_t>> marks)
    : dimension_(dimension) {
  // Elements are held as 32-bit numbers so that a neighbour fits in one word.
  if (dimension > std::numeric_limits<std::uint32_t>::max()) fault("the matrix has too many elements to search");
  // Each mark as (smaller, larger, direction bits), so both directions of a pair meet when sorted.
  std::vector<std::uint64_t> pairs;
  pairs.reserve(marks.size());
  for (const auto& [row, column] : marks) {
    if (row >= dimension || column >= dimension) fault(kIndexOutOfBounds);
    if (row == column) continue;
    const std::uint64_t low = std::min(row, column), high = std::max(row, column);
    pairs.push_back((low << 32 | high) << 2 | (row < column ? 1 : 2));
  }
  std::sort(pairs.begin(), pairs.end());
  std::vector<std::uint64_t> degree(dimension + 1, 0);
  for (std::size_t k = 0; k < pairs.size();) {
    const std::uint64_t pair = pairs[k] >> 2;
    std::uint64_t directions = 0;
    for (; k < pairs.size() && pairs[k] >> 2 == pair; ++k) directions |= pairs[k] & 3;
    const auto low = static_cast<std::uint32_t>(pair >> 32), high = static_cast<std::uint32_t>(pair);
    if (directions == 3) {
      ++mutual_;
    } else {
      one_way_.emplace_back(directions == 1 ? low : high, directions == 1 ? high : low);
      ++degree[low];
      ++degree[high];
    }
  }
  offsets_.assign(dimension + 1, 0);
  for (std::uint64_t e = 0; e < dimension; ++e) {
    offsets_[e + 1] = offsets_[e] + degree[e];
    max_degree_ = std::max(max_degree_, degree[e]);
  }
  neighbours_.resize(offsets_[dimension]);
  std::vector<std::uint64_t> next(offsets_.begin(), offsets_.end() - 1);
  for (const auto& [row, column] : one_way_) {
    // Moving the row past the column removes the mark from above the diagonal, and the reverse adds it.
    neighbours_[next[row]++] = {column, -1};
    neighbours_[next[column]++] = {row, +1};
  }
}

std::uint64_t MarkGraph::feedback_at(std::span<const std::uint32_t> position) const noexcept {
  std::uint64_t count = mutual_;
  for (const auto& [row, column] : one_way_) count += position[row] < position[column];
  return count;
}

std::uint64_t MarkGraph::feedback(std::span<const std::uint64_t> order) const {
  std::vector<bool> seen;
  check_permutation(order, dimension_, seen);
  std::vector<std::uint32_t> position(dimension_);
  for (std::uint64_t p = 0; p < order.size(); ++p) position[order[p]] = static_cast<std::uint32_t>(p);
  return feedback_at(position);
}

void check_permutation(std::span<const std::uint64_t> order, std::uint64_t dimension, std::vector<bool>& seen) {
  if (order.size() != dimension) fault("an ordering does not hold every element of the matrix once");
  seen.assign(dimension, false);
  for (const std::uint64_t e : order) {
    if (e >= dimension || seen[e]) fault("an ordering does not hold every element of the matrix once");
    seen[e] = true;
  }
}

}  // namespace genetic
