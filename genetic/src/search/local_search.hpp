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

  // Takes `order` (a permutation of the graph's elements, unchecked) as the current ordering,
  // with no element marked for a look.
  void load(std::span<const std::uint32_t> order);
  void load(std::span<const std::uint64_t> order);
  std::span<const std::uint32_t> order() const noexcept { return order_; }
  std::uint64_t feedback() const noexcept { return feedback_; }

  // The move of `element` that lowers the feedback the most, the nearest among equals; a
  // gain of 0 (and `to` == `from`) when no move lowers it.
  Insertion best_insertion(std::uint32_t element);
  // A move of `element` that leaves the feedback as it is, drawn uniformly among its places
  // just after or before a neighbour; `to` == `from` when there is none.
  Insertion level_insertion(std::uint32_t element, RandomSource& rng);
  // Applies a move, keeping positions and feedback current; the moved element and its
  // neighbours, whose best moves it may have changed, are marked for a look.
  void apply(const Insertion& move) noexcept;
  // Moves the `length` elements from position `from` so that they start at `to` (a position
  // of the ordering without them), recounts the feedback and marks the moved elements and
  // their neighbours for a look.
  void move_segment(std::uint64_t from, std::uint64_t length, std::uint64_t to) noexcept;
  // Looks at every element in turn, moving it where the feedback drops the most, until no
  // element is marked: then no single move lowers the feedback (a move changes the gains of
  // the moved element's neighbours only, and marks them). Returns the feedback reached.
  std::uint64_t improve() noexcept;
  // The same, looking only at the marked elements: for an ordering that was a local optimum
  // before the moves that marked them.
  std::uint64_t improve_marked() noexcept;

 private:
  const MarkGraph* graph_;
  std::vector<std::uint32_t> order_;
  std::vector<std::uint32_t> position_;
  std::uint64_t feedback_ = 0;
  // Neighbours' positions after and before the element, each with its mark's direction.
  std::vector<std::uint64_t> after_;
  std::vector<std::uint64_t> before_;
  // Elements marked for a look, first in first out, each at most once.
  std::vector<std::uint32_t> queue_;
  std::vector<bool> queued_;
  std::uint64_t head_ = 0;
  std::uint64_t queued_count_ = 0;
  void mark(std::uint32_t element) noexcept;
  void unmark_all() noexcept;
  void mark_with_neighbours(std::uint32_t element) noexcept;
  // Fills after_ and before_ with the neighbours of `element`, which stands at `from`.
  void split_neighbours(std::uint32_t element, std::uint64_t from);
};

// Improves `order` in place to a local optimum of insertion moves; returns its feedback.
// A Fault when `order` is not a permutation of the graph's elements.
std::uint64_t insertion_local_search(const MarkGraph& graph, std::vector<std::uint64_t>& order);

}  // namespace genetic
