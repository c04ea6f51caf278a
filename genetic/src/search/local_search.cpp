#include "search/local_search.hpp"

#include <algorithm>
#include <functional>

#include "random/random_source.hpp"

namespace genetic {

InsertionSearch::InsertionSearch(const MarkGraph& graph)
    : graph_(&graph),
      order_(graph.dimension()),
      position_(graph.dimension()),
      queue_(graph.dimension()),
      queued_(graph.dimension(), false) {
  // Reserved once: a gathering never holds more than one element's neighbours.
  after_.reserve(graph.max_degree());
  before_.reserve(graph.max_degree());
}

void InsertionSearch::load(std::span<const std::uint32_t> order) {
  std::copy(order.begin(), order.end(), order_.begin());
  for (std::uint32_t p = 0; p < order_.size(); ++p) position_[order_[p]] = p;
  feedback_ = graph_->feedback_at(position_);
  unmark_all();
}

void InsertionSearch::load(std::span<const std::uint64_t> order) {
  for (std::uint32_t p = 0; p < order_.size(); ++p) {
    order_[p] = static_cast<std::uint32_t>(order[p]);
    position_[order_[p]] = p;
  }
  feedback_ = graph_->feedback_at(position_);
  unmark_all();
}

void InsertionSearch::unmark_all() noexcept {
  for (; queued_count_ > 0; --queued_count_) {
    queued_[queue_[head_]] = false;
    head_ = head_ + 1 == queue_.size() ? 0 : head_ + 1;
  }
}

void InsertionSearch::mark(std::uint32_t element) noexcept {
  if (queued_[element]) return;
  queued_[element] = true;
  std::uint64_t tail = head_ + queued_count_;
  if (tail >= queue_.size()) tail -= queue_.size();
  queue_[tail] = element;
  ++queued_count_;
}

void InsertionSearch::mark_with_neighbours(std::uint32_t element) noexcept {
  mark(element);
  for (const MarkNeighbour& n : graph_->neighbours(element)) mark(n.element);
}

void InsertionSearch::split_neighbours(std::uint32_t element, std::uint64_t from) {
  // Each neighbour as (position << 1 | 1 when passing it rightwards adds a mark), on its side.
  after_.clear();
  before_.clear();
  for (const MarkNeighbour& n : graph_->neighbours(element)) {
    const std::uint64_t at = position_[n.element];
    (at > from ? after_ : before_).push_back(at << 1 | (n.change > 0));
  }
}

Insertion InsertionSearch::best_insertion(std::uint32_t element) {
  const std::uint64_t from = position_[element];
  split_neighbours(element, from);
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

Insertion InsertionSearch::level_insertion(std::uint32_t element, RandomSource& rng) {
  const std::uint64_t from = position_[element];
  split_neighbours(element, from);
  // One pick by reservoir sampling over the places where the running gain is back at 0.
  Insertion pick{from, from, 0};
  std::uint64_t seen = 0;
  std::sort(after_.begin(), after_.end());
  std::int64_t gain = 0;
  for (const std::uint64_t key : after_) {
    gain += (key & 1) ? 1 : -1;
    if (gain == 0 && rng.uniform_index(0, ++seen) == 0) pick.to = key >> 1;
  }
  std::sort(before_.begin(), before_.end(), std::greater<>());
  gain = 0;
  for (const std::uint64_t key : before_) {
    gain += (key & 1) ? -1 : 1;
    if (gain == 0 && rng.uniform_index(0, ++seen) == 0) pick.to = key >> 1;
  }
  return pick;
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
  mark_with_neighbours(element);
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
  for (std::uint64_t p = to; p < to + length; ++p) mark_with_neighbours(order_[p]);
}

std::uint64_t InsertionSearch::improve() noexcept {
  for (std::uint32_t element = 0; element < order_.size(); ++element) mark(element);
  return improve_marked();
}

std::uint64_t InsertionSearch::improve_marked() noexcept {
  while (queued_count_ > 0) {
    const std::uint32_t element = queue_[head_];
    queued_[element] = false;
    head_ = head_ + 1 == queue_.size() ? 0 : head_ + 1;
    --queued_count_;
    const Insertion move = best_insertion(element);
    if (move.gain < 0) apply(move);
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
