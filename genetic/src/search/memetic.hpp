#pragma once
// A memetic search for orderings with few feedback marks: a small population of locally
// optimal orderings; each generation, children bred from parents picked by tournament with
// an order-preserving crossover and mutants (members kicked by a few random moves), each
// improved by insertion local search, replace the worst members; the best is never lost.
// When the best stops improving, every member is kicked and improved again, so the search
// restarts around what it has found.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "random/random_source.hpp"
#include "search/mark_graph.hpp"

namespace genetic {

struct SearchSettings {
  std::uint64_t n_population = 0;              // 0: chosen from the dimension
  std::optional<std::uint64_t> n_generations;  // stop after this many generations
  std::optional<std::uint64_t> n_stagnation;   // stop after this many generations without a better best
  std::optional<double> seconds;               // stop once this much wall time has passed
  std::optional<std::uint64_t> bound;          // stop as soon as the best reaches this feedback (a known lower bound)
};

enum class SearchStop { Generations, Stagnation, Seconds, Bound, Stopped };

struct SearchResult {
  std::vector<std::uint64_t> order;  // best ordering found (a permutation of 0..dimension-1)
  std::uint64_t feedback = 0;        // its feedback marks
  std::uint64_t generations = 0;     // generations run
  SearchStop stop = SearchStop::Generations;
};

// The population size used when the settings leave it at 0.
std::uint64_t default_population(std::uint64_t dimension) noexcept;
// The stagnation limit used when the settings give no way to stop.
std::uint64_t default_stagnation(std::uint64_t dimension) noexcept;

// Memetic search for an ordering with few feedback marks. `starts` are optional orderings to
// seed the population with (each a permutation; may be empty). `stop` is asked between
// generations; when it returns true the search ends with SearchStop::Stopped and the best so far.
// Draws from the calling thread's random source (the first form) or from `rng`. Besides a
// given bound, the graph's mutual pairs bound the feedback from below: reaching them ends
// the search with SearchStop::Bound.
SearchResult memetic_search(const MarkGraph& graph, const SearchSettings& settings,
                            std::span<const std::vector<std::uint64_t>> starts, const std::function<bool()>& stop);
SearchResult memetic_search(RandomSource& rng, const MarkGraph& graph, const SearchSettings& settings,
                            std::span<const std::vector<std::uint64_t>> starts, const std::function<bool()>& stop);

// The deterministic part of the crossover: the child keeps `a`'s elements at positions
// [first, last] where they are, and takes the others in the order `b` holds them, filling
// the free positions from the left. `taken` is scratch of the dimension's length, all
// false, and is left so.
void order_crossover(std::uint64_t first, std::uint64_t last, std::span<const std::uint32_t> a,
                     std::span<const std::uint32_t> b, std::span<std::uint32_t> child, std::vector<bool>& taken);

}  // namespace genetic
