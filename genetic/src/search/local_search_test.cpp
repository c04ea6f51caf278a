#include "search/local_search.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "fault.hpp"
#include "random/random_source.hpp"
#include "search/test_matrices.hpp"

namespace genetic {
namespace {

using search_testing::count_feedback;
using search_testing::Marks;
using search_testing::moved;

// The least feedback over all single moves of the element at `from`.
std::uint64_t best_move_feedback(const Marks& marks, const std::vector<std::uint64_t>& order, std::uint64_t from) {
  std::uint64_t best = count_feedback(marks, order);
  for (std::uint64_t to = 0; to < order.size(); ++to)
    best = std::min(best, count_feedback(marks, moved(order, from, to)));
  return best;
}

std::vector<std::uint64_t> wide(std::span<const std::uint32_t> order) { return {order.begin(), order.end()}; }

// Dimension, percent of cells marked, seed.
using Case = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>;

class InsertionMoves : public ::testing::TestWithParam<Case> {};

TEST_P(InsertionMoves, GainsAgreeWithRecounting) {
  const auto [dimension, percent, seed] = GetParam();
  const Marks marks = search_testing::random_marks(dimension, percent, seed);
  const MarkGraph graph(dimension, marks);
  InsertionSearch search(graph);
  RandomSource rng = RandomSource::from_seed(seed);
  for (int trial = 0; trial < 5; ++trial) {
    const std::vector<std::uint64_t> start = rng.sample_indices(dimension, dimension);
    for (std::uint32_t element = 0; element < dimension; ++element) {
      search.load(std::span<const std::uint64_t>(start));
      const std::uint64_t before = count_feedback(marks, start);
      ASSERT_EQ(search.feedback(), before);
      const Insertion best = search.best_insertion(element);
      ASSERT_EQ(start[best.from], element);
      EXPECT_EQ(before + best.gain, best_move_feedback(marks, start, best.from));
      EXPECT_EQ(count_feedback(marks, moved(start, best.from, best.to)), before + best.gain);
      search.apply(best);
      EXPECT_EQ(wide(search.order()), moved(start, best.from, best.to));
      EXPECT_EQ(search.feedback(), before + best.gain);
      // A level move keeps the feedback.
      const Insertion level = search.level_insertion(element, rng);
      EXPECT_EQ(level.gain, 0);
      const std::vector<std::uint64_t> walked = moved(wide(search.order()), level.from, level.to);
      EXPECT_EQ(count_feedback(marks, walked), search.feedback());
    }
  }
}

TEST_P(InsertionMoves, SegmentMovesKeepFeedbackCurrent) {
  const auto [dimension, percent, seed] = GetParam();
  const Marks marks = search_testing::random_marks(dimension, percent, seed);
  const MarkGraph graph(dimension, marks);
  InsertionSearch search(graph);
  RandomSource rng = RandomSource::from_seed(seed);
  std::vector<std::uint64_t> order = rng.sample_indices(dimension, dimension);
  search.load(std::span<const std::uint64_t>(order));
  for (int trial = 0; trial < 20; ++trial) {
    const std::uint64_t length = 1 + rng.uniform_index(0, dimension);
    const std::uint64_t from = rng.uniform_index(0, dimension - length + 1);
    const std::uint64_t to = rng.uniform_index(0, dimension - length + 1);
    std::vector<std::uint64_t> segment(order.begin() + static_cast<std::ptrdiff_t>(from),
                                       order.begin() + static_cast<std::ptrdiff_t>(from + length));
    order.erase(order.begin() + static_cast<std::ptrdiff_t>(from),
                order.begin() + static_cast<std::ptrdiff_t>(from + length));
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(to), segment.begin(), segment.end());
    search.move_segment(from, length, to);
    ASSERT_EQ(wide(search.order()), order);
    EXPECT_EQ(search.feedback(), count_feedback(marks, order));
  }
}

TEST_P(InsertionMoves, LocalSearchEndsWhereNoSingleMoveImproves) {
  const auto [dimension, percent, seed] = GetParam();
  const Marks marks = search_testing::random_marks(dimension, percent, seed);
  const MarkGraph graph(dimension, marks);
  // Brute force over all orderings only where there are few of them.
  const std::uint64_t minimum = dimension <= 8 ? search_testing::brute_minimum(marks, dimension) : 0;
  RandomSource rng = RandomSource::from_seed(seed);
  for (int trial = 0; trial < 10; ++trial) {
    std::vector<std::uint64_t> order = rng.sample_indices(dimension, dimension);
    const std::uint64_t start = count_feedback(marks, order);
    const std::uint64_t feedback = insertion_local_search(graph, order);
    EXPECT_EQ(feedback, graph.feedback(order));
    EXPECT_EQ(feedback, count_feedback(marks, order));
    EXPECT_LE(feedback, start);
    EXPECT_GE(feedback, minimum);
    for (std::uint64_t from = 0; from < dimension; ++from) EXPECT_EQ(best_move_feedback(marks, order, from), feedback);
  }
}

INSTANTIATE_TEST_SUITE_P(RandomMatrices, InsertionMoves,
                         ::testing::Values(Case{2, 50, 1}, Case{5, 40, 2}, Case{7, 25, 3}, Case{8, 50, 4},
                                           Case{8, 15, 5}, Case{30, 10, 6}));

TEST(InsertionLocalSearch, FaultsOnAnOrderingThatIsNotAPermutation) {
  const MarkGraph graph(3, Marks{{0, 1}});
  std::vector<std::uint64_t> order{0, 2, 2};
  try {
    insertion_local_search(graph, order);
    ADD_FAILURE() << "no fault";
  } catch (const Fault& f) {
    EXPECT_EQ(std::string(f.what()), "an ordering does not hold every element of the matrix once");
  }
}

}  // namespace
}  // namespace genetic
