#pragma once
// Insertion local search over orderings: take one element out and put it back where the
// feedback drops the most, until no single move lowers it. The gain of a move is read from
// the element's one-way marks alone: sliding it past an element it shares no mark with
// changes nothing, so only the positions of its neighbours matter.
#include <cstdint>
#include <span>
#include <vector>

#include "search/mark_graph.hpp"

namespace genetic {

class RandomSource;

// One move: the element at position `from` goes to position `to` (the others between shift
// by one), and the feedback changes by `gain` (negative when it drops).
struct Insertion {
  std::uint64_t from = 0;
  std::uint64_t to = 0;
  std::int64_t gain = 0;
};

// An ordering under improvement, with each element's position and its feedback kept current.
// Holds its scratch, so a search reused over many orderings allocates only when made.
class InsertionSearch {
 public:
  explicit InsertionSearch(const MarkGraph& graph);

  // Takes `order` (a permutation of the graph's elements, unchecked) as the current ordering.
  void load(std::span<const std::uint32_t> order);
  void load(std::span<const std::uint64_t> order);
  std::span<const std::uint32_t> order() const noexcept { return order_; }
  std::uint64_t feedback() const noexcept { return feedback_; }

  // The move of `element` that lowers the feedback the most, the nearest among equals; a
  // gain of 0 (and `to` == `from`) when no move lowers it.
  Insertion best_insertion(std::uint32_t element);
  // Applies a move, keeping positions and feedback current.
  void apply(const Insertion& move) noexcept;
  // Moves the `length` elements from position `from` so that they start at `to` (a position
  // of the ordering without them) and recounts the feedback.
  void move_segment(std::uint64_t from, std::uint64_t length, std::uint64_t to) noexcept;
  // Best-insertion passes over all elements until a whole pass moves none: then no single
  // move lowers the feedback. Returns the feedback reached.
  std::uint64_t improve() noexcept;

 private:
  const MarkGraph* graph_;
  std::vector<std::uint32_t> order_;
  std::vector<std::uint32_t> position_;
  std::uint64_t feedback_ = 0;
  // Neighbours' positions after and before the element, each with its mark's direction.
  std::vector<std::uint64_t> after_;
  std::vector<std::uint64_t> before_;
};

// Improves `order` in place to a local optimum of insertion moves; returns its feedback.
// A Fault when `order` is not a permutation of the graph's elements.
std::uint64_t insertion_local_search(const MarkGraph& graph, std::vector<std::uint64_t>& order);

}  // namespace genetic
