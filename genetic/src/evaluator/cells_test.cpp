#include "evaluator/cells.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace genetic {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
  const Cells nan{kNaN};
  const Cells& same = nan;
  EXPECT_FALSE(nan == same);
  EXPECT_TRUE(Cells({0.0, 1.0}) == Cells({-0.0, 1.0}));
  EXPECT_FALSE(Cells({0.0, 1.0}) == Cells({1.0, 0.0}));
  EXPECT_FALSE(Cells({0.0, 1.0}) == Cells({0.0, 1.0, 0.0}));
}

struct RoundTrip {
  std::string name;
  std::vector<double> values;
  bool binary;
};

void PrintTo(const RoundTrip& c, std::ostream* out) { *out << c.name; }

class CellsRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

// Whatever the form kept, every cell reads back with the bits it was given.
TEST_P(CellsRoundTrip, ReadsBackEveryBit) {
  const RoundTrip& c = GetParam();
  const Cells cells(c.values);
  EXPECT_EQ(cells.binary(), c.binary);
  ASSERT_EQ(cells.size(), c.values.size());
  for (std::size_t i = 0; i < c.values.size(); ++i) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(cells[i]), std::bit_cast<std::uint64_t>(c.values[i])) << "cell " << i;
  }
}

std::vector<double> pattern(std::size_t length, double other) {
  std::vector<double> values(length);
  for (std::size_t i = 0; i < length; ++i) values[i] = i % 3 == 0 || i % 7 == 1 ? 1.0 : 0.0;
  if (length > 0) values[length - 1] = other;
  return values;
}

INSTANTIATE_TEST_SUITE_P(Evaluator, CellsRoundTrip,
                         ::testing::Values(RoundTrip{"Empty", {}, true},
                                           // Squares whose row lines end inside a word and on its edge.
                                           RoundTrip{"BinarySquare", pattern(70 * 70, 1.0), true},
                                           RoundTrip{"BinarySquareOfWholeWords", pattern(64 * 64, 0.0), true},
                                           RoundTrip{"BinaryOtherLength", pattern(130, 1.0), true},
                                           RoundTrip{"NegativeZero", pattern(70 * 70, -0.0), false},
                                           RoundTrip{"NaN", pattern(9, kNaN), false},
                                           RoundTrip{"Two", pattern(130, 2.0), false},
                                           RoundTrip{"AlmostOne", pattern(4, std::nextafter(1.0, 2.0)), false}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace genetic
