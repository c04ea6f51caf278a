#pragma once
// The marks of a square matrix as a graph over its elements, kept in the form the
// ordering search reads: for each element, the elements it shares a one-way mark
// with and which way the mark points.
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace genetic {

// A one-way mark between an element and `element`, seen from the first: `change` is the
// difference in feedback when the first moves from just before `element` to just after it
// (+1 when the mark is (element, first), -1 when it is (first, element)).
struct MarkNeighbour {
  std::uint32_t element;
  std::int32_t change;
};

// The marks of a square matrix over elements 0..dimension-1: a mark (row, column) counts as
// feedback when `row` is placed before `column` in an ordering (above the diagonal).
class MarkGraph {
 public:
  // Repeated marks count once and marks on the diagonal never count; a Fault when a mark lies
  // outside the dimension.
  MarkGraph(std::uint64_t dimension, std::span<const std::pair<std::uint64_t, std::uint64_t>> marks);

  std::uint64_t dimension() const noexcept { return dimension_; }
  // Distinct marks off the diagonal.
  std::uint64_t marks() const noexcept { return one_way_.size() + 2 * mutual_; }
  // Pairs marked both ways: one mark of each is feedback in every ordering, so their number
  // is a lower bound of the feedback.
  std::uint64_t mutual_pairs() const noexcept { return mutual_; }
  // Marks above the diagonal when elements follow `order` (a permutation of 0..dimension-1);
  // a Fault when it is not one.
  std::uint64_t feedback(std::span<const std::uint64_t> order) const;
  // The same from each element's position (position[e] is where e is placed); unchecked.
  std::uint64_t feedback_at(std::span<const std::uint32_t> position) const noexcept;
  // The one-way marks of `element`, seen from it.
  std::span<const MarkNeighbour> neighbours(std::uint64_t element) const noexcept {
    return {neighbours_.data() + offsets_[element], neighbours_.data() + offsets_[element + 1]};
  }
  std::uint64_t max_degree() const noexcept { return max_degree_; }

 private:
  std::uint64_t dimension_;
  std::uint64_t mutual_ = 0;
  std::uint64_t max_degree_ = 0;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> one_way_;  // (row, column) of each one-way mark
  std::vector<std::uint64_t> offsets_;                            // neighbours of e: [offsets_[e], offsets_[e + 1])
  std::vector<MarkNeighbour> neighbours_;
};

// Faults unless `order` holds each of 0..dimension-1 once; `seen` is scratch of any content.
void check_permutation(std::span<const std::uint64_t> order, std::uint64_t dimension, std::vector<bool>& seen);

}  // namespace genetic
