#include "search/memetic.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>

#include "fault.hpp"
#include "search/local_search.hpp"
#include "search/test_matrices.hpp"

namespace genetic {
namespace {

using search_testing::count_feedback;
using search_testing::identity;
using search_testing::Marks;

const std::vector<std::vector<std::uint64_t>> kNoStarts;

SearchSettings limits(std::optional<std::uint64_t> generations, std::optional<std::uint64_t> stagnation = {},
                      std::optional<double> seconds = {}, std::optional<std::uint64_t> bound = {}) {
  SearchSettings settings;
  settings.n_generations = generations;
  settings.n_stagnation = stagnation;
  settings.seconds = seconds;
  settings.bound = bound;
  return settings;
}

bool is_permutation_of(const std::vector<std::uint64_t>& order, std::uint64_t dimension) {
  std::vector<std::uint64_t> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  return sorted == identity(dimension);
}

TEST(OrderCrossover, KeepsTheSegmentAndTheOtherParentsOrder) {
  const std::vector<std::uint32_t> a{0, 1, 2, 3, 4, 5, 6}, b{6, 4, 2, 0, 5, 3, 1};
  std::vector<std::uint32_t> child(7);
  std::vector<bool> taken(7, false);
  order_crossover(2, 4, a, b, child, taken);
  EXPECT_EQ(child, (std::vector<std::uint32_t>{6, 0, 2, 3, 4, 5, 1}));
  EXPECT_EQ(std::count(taken.begin(), taken.end(), true), 0);
  order_crossover(0, 1, a, b, child, taken);
  EXPECT_EQ(child, (std::vector<std::uint32_t>{0, 1, 6, 4, 2, 5, 3}));
  order_crossover(5, 6, a, b, child, taken);
  EXPECT_EQ(child, (std::vector<std::uint32_t>{4, 2, 0, 3, 1, 5, 6}));
}

// Dimension, percent of cells marked, seed: small enough to know the minimum.
using Case = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>;
class MemeticMinimum : public ::testing::TestWithParam<Case> {};

TEST_P(MemeticMinimum, FindsTheMinimumOfSmallMatrices) {
  const auto [dimension, percent, seed] = GetParam();
  const Marks marks = search_testing::random_marks(dimension, percent, seed);
  const MarkGraph graph(dimension, marks);
  RandomSource rng = RandomSource::from_seed(seed);
  const SearchResult result = memetic_search(rng, graph, limits(30), kNoStarts, {});
  ASSERT_TRUE(is_permutation_of(result.order, dimension));
  EXPECT_EQ(result.feedback, count_feedback(marks, result.order));
  EXPECT_EQ(result.feedback, search_testing::brute_minimum(marks, dimension));
  EXPECT_LE(result.generations, 30u);
}

INSTANTIATE_TEST_SUITE_P(RandomMatrices, MemeticMinimum,
                         ::testing::Values(Case{6, 50, 1}, Case{8, 30, 2}, Case{8, 45, 3}, Case{9, 20, 4}));

// Marks 0 -> 1 -> 2 -> 0: one is feedback in every ordering, and no pair is mutual.
const Marks kCycle{{0, 1}, {1, 2}, {2, 0}};

struct StopCase {
  const char* name;
  SearchSettings settings;
  SearchStop stop;
  std::uint64_t generations;
};

class MemeticStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(MemeticStops, EndsForTheFirstReasonThatHolds) {
  const MarkGraph graph(3, kCycle);
  RandomSource rng = RandomSource::from_seed(7);
  const SearchResult result = memetic_search(rng, graph, GetParam().settings, kNoStarts, {});
  EXPECT_EQ(result.stop, GetParam().stop);
  EXPECT_EQ(result.generations, GetParam().generations);
  EXPECT_EQ(result.feedback, 1u);
}

INSTANTIATE_TEST_SUITE_P(Settings, MemeticStops,
                         ::testing::Values(StopCase{"generations", limits(4), SearchStop::Generations, 4},
                                           StopCase{"no_generations", limits(0), SearchStop::Generations, 0},
                                           StopCase{"stagnation", limits({}, 6), SearchStop::Stagnation, 6},
                                           StopCase{"fewer_generations_than_stagnation", limits(3, 6),
                                                    SearchStop::Generations, 3},
                                           StopCase{"seconds", limits({}, {}, 0.0), SearchStop::Seconds, 0},
                                           StopCase{"bound", limits(5, {}, {}, 1), SearchStop::Bound, 0},
                                           StopCase{"default", {}, SearchStop::Stagnation, default_stagnation(3)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MemeticSearch, AsksTheStopPredicateBetweenGenerations) {
  const MarkGraph graph(3, kCycle);
  int asked = 0;
  const SearchResult result = memetic_search(graph, limits(10), kNoStarts, [&] { return ++asked == 3; });
  EXPECT_EQ(result.stop, SearchStop::Stopped);
  EXPECT_EQ(result.generations, 2u);
  EXPECT_EQ(result.feedback, 1u);
}

TEST(MemeticSearch, MutualPairsAndAcyclicMatricesEndAtTheirBound) {
  // Two mutual pairs and a chain: nothing better than 2 exists, and the search sees it.
  const Marks marks{{0, 1}, {1, 0}, {2, 3}, {3, 2}, {4, 5}, {5, 6}};
  const SearchResult mutual = memetic_search(MarkGraph(7, marks), limits(50), kNoStarts, {});
  EXPECT_EQ(mutual.stop, SearchStop::Bound);
  EXPECT_EQ(mutual.feedback, 2u);
  const Marks chain{{0, 1}, {1, 2}, {2, 3}};
  const SearchResult acyclic = memetic_search(MarkGraph(4, chain), SearchSettings{}, kNoStarts, {});
  EXPECT_EQ(acyclic.stop, SearchStop::Bound);
  EXPECT_EQ(acyclic.feedback, 0u);
  EXPECT_EQ(acyclic.order, (std::vector<std::uint64_t>{3, 2, 1, 0}));
}

TEST(MemeticSearch, TinyDimensionsReturnAtOnce) {
  for (std::uint64_t dimension : {0u, 1u}) {
    const SearchResult result = memetic_search(MarkGraph(dimension, Marks{}), SearchSettings{}, kNoStarts, {});
    EXPECT_EQ(result.order, identity(dimension));
    EXPECT_EQ(result.feedback, 0u);
    EXPECT_EQ(result.generations, 0u);
  }
}

TEST(MemeticSearch, StartsAreImprovedAndKept) {
  const Marks marks = search_testing::random_marks(40, 10, 11);
  const MarkGraph graph(40, marks);
  std::vector<std::uint64_t> start = identity(40);
  const std::vector<std::vector<std::uint64_t>> starts{start};
  SearchSettings settings = limits(0);
  settings.n_population = 1;
  const SearchResult result = memetic_search(graph, settings, starts, {});
  EXPECT_LE(result.feedback, count_feedback(marks, start));
  EXPECT_EQ(result.feedback, insertion_local_search(graph, start));
  EXPECT_EQ(result.order, start);
}

TEST(MemeticSearch, SameSeedSameResult) {
  const MarkGraph graph(30, search_testing::random_marks(30, 15, 12));
  RandomSource first = RandomSource::from_seed(5), second = RandomSource::from_seed(5);
  const SearchSettings settings = limits(20);
  const SearchResult a = memetic_search(first, graph, settings, kNoStarts, {});
  const SearchResult b = memetic_search(second, graph, settings, kNoStarts, {});
  EXPECT_EQ(a.order, b.order);
  EXPECT_EQ(a.generations, b.generations);
}

TEST(MemeticSearch, FaultsOnAStartThatIsNotAPermutation) {
  const MarkGraph graph(3, kCycle);
  const std::vector<std::vector<std::uint64_t>> starts{{0, 1, 2}, {0, 0, 2}};
  try {
    memetic_search(graph, SearchSettings{}, starts, {});
    ADD_FAILURE() << "no fault";
  } catch (const Fault& f) {
    EXPECT_EQ(std::string(f.what()), "an ordering does not hold every element of the matrix once");
  }
}

}  // namespace
}  // namespace genetic
