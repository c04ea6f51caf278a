#include "search/memetic.hpp"

#include <algorithm>
#include <chrono>
#include <numeric>

#include "search/local_search.hpp"

namespace genetic {
namespace {

using Clock = std::chrono::steady_clock;

// Parents are the better of two members drawn at random: enough pressure with a
// population that holds only local optima, not so much that it collapses onto one.
constexpr std::uint64_t kTournament = 2;
// Generations without a better best before every member is kicked.
constexpr std::uint64_t kKickAfter = 8;
// A kick: a few level moves (feedback unchanged, so they wander the plateaus that local
// optima of sparse matrices sit on) and one to three random segment moves of up to
// kLongestSegment elements, or a sixteenth of the dimension when that is less.
constexpr std::uint64_t kLevelMoves = 5;
constexpr std::uint64_t kSegmentMoves = 3;
constexpr std::uint64_t kLongestSegment = 8;

struct Member {
  std::vector<std::uint32_t> order;
  std::uint64_t feedback = 0;
};

class Memetic {
 public:
  Memetic(RandomSource& rng, const MarkGraph& graph, const SearchSettings& settings)
      : rng_(rng),
        settings_(settings),
        dimension_(graph.dimension()),
        search_(graph),
        child_(dimension_),
        taken_(dimension_, false),
        started_(Clock::now()) {
    bound_ = std::max(settings.bound.value_or(0), graph.mutual_pairs());
    stagnation_ = settings.n_stagnation;
    if (!settings.n_generations && !settings.n_stagnation && !settings.seconds && !settings.bound)
      stagnation_ = default_stagnation(dimension_);
    size_ = settings.n_population ? settings.n_population : default_population(dimension_);
  }

  SearchResult run(std::span<const std::vector<std::uint64_t>> starts, const std::function<bool()>& stop) {
    seed(starts);
    std::uint64_t kicked = 0;
    for (;;) {
      if (best_.feedback <= bound_) return finish(SearchStop::Bound);
      if (settings_.n_generations && generation_ >= *settings_.n_generations) return finish(SearchStop::Generations);
      if (stagnation_ && generation_ - improved_ >= *stagnation_) return finish(SearchStop::Stagnation);
      if (out_of_time()) return finish(SearchStop::Seconds);
      if (stop && stop()) return finish(SearchStop::Stopped);
      ++generation_;
      // 1. Breed a population's worth of children, each improved before it is offered.
      for (std::uint64_t c = 0; c < size_ && !out_of_time(); ++c) {
        const Member& a = population_[tournament()];
        const Member& b = population_[tournament()];
        cross(a.order, b.order);
        search_.load(std::span<const std::uint32_t>(child_));
        search_.improve();
        offer();
      }
      // 2. And half as many mutants: a member picked by tournament, kicked and improved again.
      for (std::uint64_t c = 0; c < (size_ + 1) / 2 && !out_of_time(); ++c) {
        search_.load(std::span<const std::uint32_t>(population_[tournament()].order));
        kick();
        search_.improve_marked();
        offer();
      }
      // 3. A best that stopped improving: restart the others from kicked copies of it or of themselves.
      if (generation_ - std::max(improved_, kicked) >= kKickAfter) {
        kick_all();
        kicked = generation_;
      }
    }
  }

 private:
  bool out_of_time() const {
    return settings_.seconds && std::chrono::duration<double>(Clock::now() - started_).count() >= *settings_.seconds;
  }

  // The given orderings first, then random ones, each improved; the best `size_` are kept.
  void seed(std::span<const std::vector<std::uint64_t>> starts) {
    for (const auto& start : starts) {
      search_.load(std::span<const std::uint64_t>(start));
      search_.improve();
      admit();
    }
    std::iota(child_.begin(), child_.end(), std::uint32_t{0});
    while (population_.size() < size_ && !(out_of_time() && !population_.empty())) {
      for (std::uint64_t i = dimension_; i > 1; --i) std::swap(child_[i - 1], child_[rng_.uniform_index(0, i)]);
      search_.load(std::span<const std::uint32_t>(child_));
      search_.improve();
      admit();
    }
    std::sort(population_.begin(), population_.end(),
              [](const Member& x, const Member& y) { return x.feedback < y.feedback; });
    if (population_.size() > size_) population_.resize(size_);
    best_ = population_.front();
  }

  void admit() { population_.push_back(Member{{search_.order().begin(), search_.order().end()}, search_.feedback()}); }

  std::uint64_t tournament() {
    std::uint64_t pick = rng_.uniform_index(0, population_.size());
    for (std::uint64_t k = 1; k < kTournament; ++k) {
      const std::uint64_t other = rng_.uniform_index(0, population_.size());
      if (population_[other].feedback < population_[pick].feedback) pick = other;
    }
    return pick;
  }

  void cross(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b) {
    std::uint64_t first = rng_.uniform_index(0, dimension_), last = rng_.uniform_index(0, dimension_);
    if (first > last) std::swap(first, last);
    order_crossover(first, last, a, b, child_, taken_);
  }

  // Improves the loaded child and lets it replace the worst member when it is no worse and
  // not already there; the best so far is kept apart, so it is never lost.
  void offer() {
    const std::uint64_t feedback = search_.feedback();
    std::uint64_t worst = 0;
    for (std::uint64_t m = 0; m < population_.size(); ++m) {
      const Member& member = population_[m];
      if (member.feedback == feedback && std::equal(member.order.begin(), member.order.end(), search_.order().begin()))
        return;
      if (member.feedback > population_[worst].feedback) worst = m;
    }
    if (feedback > population_[worst].feedback) return;
    std::copy(search_.order().begin(), search_.order().end(), population_[worst].order.begin());
    population_[worst].feedback = feedback;
    note(population_[worst]);
  }

  void note(const Member& member) {
    if (member.feedback >= best_.feedback) return;
    best_.order = member.order;
    best_.feedback = member.feedback;
    improved_ = generation_;
  }

  // A few random segment moves, short segments mostly, to leave the local optimum's basin.
  void kick() {
    const std::uint64_t moves = 1 + rng_.uniform_index(0, kSegmentMoves);
    const std::uint64_t longest = std::clamp<std::uint64_t>(dimension_ / 16, 1, kLongestSegment);
    for (std::uint64_t k = 0; k < kLevelMoves; ++k) {
      const auto e = static_cast<std::uint32_t>(rng_.uniform_index(0, dimension_));
      search_.apply(search_.level_insertion(e, rng_));
    }
    for (std::uint64_t k = 0; k < moves; ++k) {
      const std::uint64_t length = 1 + rng_.uniform_index(0, longest);
      const std::uint64_t from = rng_.uniform_index(0, dimension_ - length + 1);
      const std::uint64_t to = rng_.uniform_index(0, dimension_ - length + 1);
      search_.move_segment(from, length, to);
    }
  }

  void kick_all() {
    for (Member& member : population_) {
      const bool from_best = rng_.uniform_index(0, 2) == 0;
      search_.load(std::span<const std::uint32_t>(from_best ? best_.order : member.order));
      kick();
      search_.improve_marked();
      std::copy(search_.order().begin(), search_.order().end(), member.order.begin());
      member.feedback = search_.feedback();
      note(member);
    }
  }

  SearchResult finish(SearchStop why) const {
    return SearchResult{{best_.order.begin(), best_.order.end()}, best_.feedback, generation_, why};
  }

  RandomSource& rng_;
  const SearchSettings& settings_;
  const std::uint64_t dimension_;
  InsertionSearch search_;
  std::vector<std::uint32_t> child_;
  std::vector<bool> taken_;
  const Clock::time_point started_;
  std::uint64_t bound_ = 0;
  std::optional<std::uint64_t> stagnation_;
  std::uint64_t size_ = 0;
  std::vector<Member> population_;
  Member best_;
  std::uint64_t generation_ = 0;
  std::uint64_t improved_ = 0;  // the generation that last found a better best
};

}  // namespace

std::uint64_t default_population(std::uint64_t dimension) noexcept {
  return std::clamp<std::uint64_t>(dimension / 4, 8, 24);
}

std::uint64_t default_stagnation(std::uint64_t dimension) noexcept {
  return std::clamp<std::uint64_t>(3 * dimension, 150, 300);
}

SearchResult memetic_search(const MarkGraph& graph, const SearchSettings& settings,
                            std::span<const std::vector<std::uint64_t>> starts, const std::function<bool()>& stop) {
  // One handle for the whole search: every draw comes from this thread's stream.
  const auto source = thread_random_source();
  return memetic_search(*source, graph, settings, starts, stop);
}

SearchResult memetic_search(RandomSource& rng, const MarkGraph& graph, const SearchSettings& settings,
                            std::span<const std::vector<std::uint64_t>> starts, const std::function<bool()>& stop) {
  const std::uint64_t dimension = graph.dimension();
  std::vector<bool> seen;
  for (const auto& start : starts) check_permutation(start, dimension, seen);
  if (dimension <= 1) {
    std::vector<std::uint64_t> order(dimension, 0);
    return SearchResult{std::move(order), 0, 0, SearchStop::Bound};
  }
  return Memetic(rng, graph, settings).run(starts, stop);
}

void order_crossover(std::uint64_t first, std::uint64_t last, std::span<const std::uint32_t> a,
                     std::span<const std::uint32_t> b, std::span<std::uint32_t> child, std::vector<bool>& taken) {
  for (std::uint64_t p = first; p <= last; ++p) {
    child[p] = a[p];
    taken[a[p]] = true;
  }
  std::uint64_t next = first == 0 ? last + 1 : 0;
  for (const std::uint32_t element : b) {
    if (taken[element]) {
      taken[element] = false;
      continue;
    }
    child[next++] = element;
    if (next == first) next = last + 1;
  }
}

}  // namespace genetic
