#include "crossover/point.hpp"

#include <gtest/gtest.h>

#include <string>

#include "testing.hpp"

namespace genetic {
namespace {

TEST(PointCrossover, ThreeGenesAlwaysCutAtOne) {
  for (std::uint64_t seed = 1; seed <= 20; ++seed) {
    RandomSource rng = RandomSource::from_seed(seed);
    const auto [x, y] = PointCrossover().cross_genes(rng, Genes{0, 1, 2}, Genes{2, 1, 0});
    EXPECT_EQ(x, (Genes{0, 1, 0}));
    EXPECT_EQ(y, (Genes{2, 1, 2}));
  }
}

TEST(PointCrossover, CutIsOneDrawInOneToShorterMinusTwo) {
  const Genes a{0, 1, 2, 3, 4, 5, 6, 7};
  const Genes b{10, 11, 12, 13, 14, 15};
  std::vector<bool> seen(b.size(), false);
  for (std::uint64_t seed = 1; seed <= 200; ++seed) {
    RandomSource rng = RandomSource::from_seed(seed);
    RandomSource replay = RandomSource::from_seed(seed);
    const auto got = PointCrossover().cross_genes(rng, a, b);
    const auto cut = static_cast<std::size_t>(replay.uniform_index(1, b.size() - 1));
    ASSERT_EQ(got, point_children(cut, a, b));
    EXPECT_EQ(rng.next_u64(), replay.next_u64());
    seen[cut] = true;
  }
  // Never only the last common gene, never nothing.
  EXPECT_EQ(seen, (std::vector<bool>{false, true, true, true, true, false}));
}

TEST(PointChildren, HeadsAndTailsExchanged) {
  const auto [x, y] = point_children(2, Genes{0, 1, 2, 3, 4}, Genes{10, 11, 12});
  EXPECT_EQ(x, (Genes{0, 1, 12}));
  EXPECT_EQ(y, (Genes{10, 11, 2, 3, 4}));
}

struct ShortCase {
  std::string name;
  Genes a, b;
  std::string message;
};

void PrintTo(const ShortCase& c, std::ostream* os) { *os << c.name; }

class PointCrossoverShort : public testing::TestWithParam<ShortCase> {};

TEST_P(PointCrossoverShort, Faults) {
  const ShortCase& c = GetParam();
  RandomSource rng = RandomSource::from_seed(1);
  EXPECT_EQ(error_text([&] { PointCrossover().cross_genes(rng, c.a, c.b); }), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PointCrossoverShort,
    testing::Values(
        ShortCase{"TwoGenes", {0, 1}, {1, 0, 2}, kEmptyRange}, ShortCase{"OneGene", {0, 1, 2}, {0}, kEmptyRange},
        ShortCase{"NoGenes", {}, {0, 1, 2}, "index out of range: one-point crossover of a chromosome with no genes"}),
    [](const testing::TestParamInfo<ShortCase>& info) { return info.param.name; });

}  // namespace
}  // namespace genetic
