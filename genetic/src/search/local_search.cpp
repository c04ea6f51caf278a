#include "search/local_search.hpp"

#include <algorithm>
#include <functional>

namespace genetic {

InsertionSearch::InsertionSearch(const MarkGraph& graph)
    : graph_(&graph), order_(graph.dimension()), position_(graph.dimension()) {
  // Reserved once: a gathering never holds more than one element's neighbours.
  after_.reserve(graph.max_degree());
  before_.reserve(graph.max_degree());
}

void InsertionSearch::load(std::span<const std::uint32_t> order) {
  std::copy(order.begin(), order.end(), order_.begin());
  for (std::uint32_t p = 0; p < order_.size(); ++p) position_[order_[p]] = p;
  feedback_ = graph_->feedback_at(position_);
}

void InsertionSearch::load(std::span<const std::uint64_t> order) {
  for (std::uint32_t p = 0; p < order_.size(); ++p) {
    order_[p] = static_cast<std::uint32_t>(order[p]);
    position_[order_[p]] = p;
  }
  feedback_ = graph_->feedback_at(position_);
}

Insertion InsertionSearch::best_insertion(std::uint32_t element) {
  const std::uint64_t from = position_[element];
  // Each neighbour as (position << 1 | 1 when passing it rightwards adds a mark).
  after_.clear();
  before_.clear();
  for (const MarkNeighbour& n : graph_->neighbours(element)) {
    const std::uint64_t at = position_[n.element];
    (at > from ? after_ : before_).push_back(at << 1 | (n.change > 0));
  }
  Insertion best{from, from, 0};
  // Sliding right past the neighbours in turn, the gain moves by each one's change; the
  // best stop is just after one of them.
  std::sort(after_.begin(), after_.end());
  std::int64_t gain = 0;
  for (const std::uint64_t key : after_) {
    gain += (key & 1) ? 1 : -1;
    if (gain < best.gain) best = {from, key >> 1, gain};
  }
  // Sliding left past them, each change with the opposite sign; the best stop is just before one.
  std::sort(before_.begin(), before_.end(), std::greater<>());
  gain = 0;
  for (const std::uint64_t key : before_) {
    gain += (key & 1) ? -1 : 1;
    if (gain < best.gain) best = {from, key >> 1, gain};
  }
  return best;
}

void InsertionSearch::apply(const Insertion& move) noexcept {
  const std::uint32_t element = order_[move.from];
  if (move.to > move.from) {
    for (std::uint64_t p = move.from; p < move.to; ++p) {
      order_[p] = order_[p + 1];
      position_[order_[p]] = static_cast<std::uint32_t>(p);
    }
  } else {
    for (std::uint64_t p = move.from; p > move.to; --p) {
      order_[p] = order_[p - 1];
      position_[order_[p]] = static_cast<std::uint32_t>(p);
    }
  }
  order_[move.to] = element;
  position_[element] = static_cast<std::uint32_t>(move.to);
  feedback_ = static_cast<std::uint64_t>(static_cast<std::int64_t>(feedback_) + move.gain);
}

void InsertionSearch::move_segment(std::uint64_t from, std::uint64_t length, std::uint64_t to) noexcept {
  const auto begin = order_.begin();
  std::uint64_t low, high;
  if (to < from) {
    std::rotate(begin + static_cast<std::ptrdiff_t>(to), begin + static_cast<std::ptrdiff_t>(from),
                begin + static_cast<std::ptrdiff_t>(from + length));
    low = to, high = from + length;
  } else {
    std::rotate(begin + static_cast<std::ptrdiff_t>(from), begin + static_cast<std::ptrdiff_t>(from + length),
                begin + static_cast<std::ptrdiff_t>(to + length));
    low = from, high = to + length;
  }
  for (std::uint64_t p = low; p < high; ++p) position_[order_[p]] = static_cast<std::uint32_t>(p);
  feedback_ = graph_->feedback_at(position_);
}

std::uint64_t InsertionSearch::improve() noexcept {
  const auto dimension = static_cast<std::uint32_t>(order_.size());
  for (bool moved = true; moved;) {
    moved = false;
    for (std::uint32_t element = 0; element < dimension; ++element) {
      const Insertion move = best_insertion(element);
      if (move.gain < 0) {
        apply(move);
        moved = true;
      }
    }
  }
  return feedback_;
}

std::uint64_t insertion_local_search(const MarkGraph& graph, std::vector<std::uint64_t>& order) {
  std::vector<bool> seen;
  check_permutation(order, graph.dimension(), seen);
  InsertionSearch search(graph);
  search.load(std::span<const std::uint64_t>(order));
  const std::uint64_t feedback = search.improve();
  std::copy(search.order().begin(), search.order().end(), order.begin());
  return feedback;
}

}  // namespace genetic
