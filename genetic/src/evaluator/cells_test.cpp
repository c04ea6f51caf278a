#include "evaluator/cells.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace genetic {
namespace {

TEST(Cells, CopiesShareOnePackingOfTheMarks) {
  const Cells cells{0, 1, 0, 0, 0, 1, 1, 0, 0};
  const Cells copy = cells;  // NOLINT: the copy is the point
  ASSERT_NE(cells.marks(), nullptr);
  EXPECT_EQ(copy.marks(), cells.marks());
  EXPECT_EQ(cells.marks()->dimension(), 3u);
  EXPECT_TRUE(cells.marks()->mark(0, 1));
  EXPECT_TRUE(cells.marks()->mark(2, 0));
  EXPECT_FALSE(cells.marks()->mark(1, 0));
}

TEST(Cells, OnlySquaresArePacked) {
  EXPECT_EQ(Cells({1, 0, 1}).marks(), nullptr);
  ASSERT_NE(Cells().marks(), nullptr);
  EXPECT_EQ(Cells().marks()->dimension(), 0u);
}

TEST(Cells, CompareCellByCellEvenWhenShared) {
  const Cells nan{std::numeric_limits<double>::quiet_NaN()};
  const Cells& same = nan;
  EXPECT_FALSE(nan == same);
  EXPECT_TRUE(Cells({0.0, 1.0}) == Cells({-0.0, 1.0}));
}

}  // namespace
}  // namespace genetic
