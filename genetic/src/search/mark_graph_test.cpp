#include "search/mark_graph.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "fault.hpp"
#include "search/test_matrices.hpp"

namespace genetic {
namespace {

using search_testing::count_feedback;
using search_testing::identity;
using search_testing::Marks;

// Dimension, percent of cells marked, seed.
class MarkGraphFeedback : public ::testing::TestWithParam<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>> {};

TEST_P(MarkGraphFeedback, CountsTheMarksAboveTheDiagonal) {
  const auto [dimension, percent, seed] = GetParam();
  const Marks marks = search_testing::random_marks(dimension, percent, seed);
  // Repeats and diagonal cells are ignored.
  Marks given = marks;
  given.insert(given.end(), marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(marks.size() / 3));
  for (std::uint64_t e = 0; e < dimension; e += 2) given.emplace_back(e, e);
  const MarkGraph graph(dimension, given);
  EXPECT_EQ(graph.marks(), marks.size());
  RandomSource rng = RandomSource::from_seed(seed);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<std::uint64_t> order = rng.sample_indices(dimension, dimension);
    EXPECT_EQ(graph.feedback(order), count_feedback(marks, order));
  }
  // The mutual pairs bound every ordering from below.
  std::vector<std::uint64_t> order = identity(dimension);
  EXPECT_LE(graph.mutual_pairs(), count_feedback(marks, order));
  std::reverse(order.begin(), order.end());
  EXPECT_LE(graph.mutual_pairs(), count_feedback(marks, order));
}

INSTANTIATE_TEST_SUITE_P(RandomMatrices, MarkGraphFeedback,
                         ::testing::Values(std::make_tuple(2, 100, 1), std::make_tuple(9, 30, 2),
                                           std::make_tuple(40, 5, 3), std::make_tuple(40, 60, 4)));

TEST(MarkGraph, NeighboursSayWhichWayEachOneWayMarkPoints) {
  // 0 -> 1 one way, 1 <-> 2 both ways.
  const Marks marks{{0, 1}, {1, 2}, {2, 1}};
  const MarkGraph graph(3, marks);
  EXPECT_EQ(graph.mutual_pairs(), 1u);
  ASSERT_EQ(graph.neighbours(0).size(), 1u);
  EXPECT_EQ(graph.neighbours(0)[0].element, 1u);
  EXPECT_EQ(graph.neighbours(0)[0].change, -1);  // 0 passing 1 takes (0, 1) below the diagonal
  ASSERT_EQ(graph.neighbours(1).size(), 1u);
  EXPECT_EQ(graph.neighbours(1)[0].change, +1);
  EXPECT_TRUE(graph.neighbours(2).empty());
}

TEST(MarkGraph, Faults) {
  const Marks outside{{0, 3}};
  try {
    MarkGraph(3, outside);
    ADD_FAILURE() << "no fault";
  } catch (const Fault& f) {
    EXPECT_EQ(std::string(f.what()), kIndexOutOfBounds);
  }
  const MarkGraph graph(3, Marks{{0, 1}});
  for (const std::vector<std::uint64_t>& order :
       {std::vector<std::uint64_t>{0, 1}, std::vector<std::uint64_t>{0, 1, 1}, std::vector<std::uint64_t>{0, 1, 3}}) {
    try {
      graph.feedback(order);
      ADD_FAILURE() << "no fault";
    } catch (const Fault& f) {
      EXPECT_EQ(std::string(f.what()), "an ordering does not hold every element of the matrix once");
    }
  }
}

}  // namespace
}  // namespace genetic
