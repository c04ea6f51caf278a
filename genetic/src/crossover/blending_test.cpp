#include "crossover/blending.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "crossover/crossover.hpp"
#include "crossover/ipx.hpp"
#include "crossover/point.hpp"
#include "testing.hpp"

namespace genetic {
namespace {

struct ValueCase {
  std::string name;
  double value;
  std::optional<Gene> gene;  // absent: the conversion faults
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

class GeneFromValue : public testing::TestWithParam<ValueCase> {};

TEST_P(GeneFromValue, TruncatesInsideTheRangeFaultsOutside) {
  const ValueCase& c = GetParam();
  if (c.gene) {
    EXPECT_EQ(gene_from_value(c.value), *c.gene);
  } else {
    EXPECT_THROW(gene_from_value(c.value), Fault);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneFromValue,
    testing::Values(ValueCase{"NegativeFractionIsZero", -0.7, 0}, ValueCase{"NegativeZero", -0.0, 0},
                    ValueCase{"TruncatesTowardZero", 3.99, 3}, ValueCase{"MinusOneFaults", -1.0, std::nullopt},
                    ValueCase{"LargestBelowTwoTo64", 0x1.fffffffffffffp63, Gene{0xfffffffffffff800}},
                    ValueCase{"TwoTo64Faults", 0x1p64, std::nullopt},
                    ValueCase{"NaNFaults", std::numeric_limits<double>::quiet_NaN(), std::nullopt},
                    ValueCase{"InfinityFaults", std::numeric_limits<double>::infinity(), std::nullopt}),
    [](const testing::TestParamInfo<ValueCase>& info) { return info.param.name; });

TEST(GeneFromValue, MessageNamesTheValue) {
  EXPECT_EQ(error_text([&] { gene_from_value(-1.5); }),
            "a mixed gene value of -1.5 is outside the gene range (-1, 2^64)");
}

TEST(BlendValues, ZeroDrawWithoutAlphaSwapsParents) {
  EXPECT_EQ(blend_values(0.0, 1.0, 0.0, 3, 8), (std::pair<Gene, Gene>{8, 3}));
}

TEST(BlendValues, HalfDrawAverages) { EXPECT_EQ(blend_values(0.5, 1.0, 0.0, 3, 8), (std::pair<Gene, Gene>{5, 5})); }

TEST(BlendValues, AlphaReachesBeyondTheParents) {
  // gamma = 0 * 3 - 1 = -1: child 1 = -a + 2b, child 2 = 2a - b.
  EXPECT_EQ(blend_values(0.0, 3.0, 1.0, 10, 20), (std::pair<Gene, Gene>{30, 0}));
  EXPECT_THROW(blend_values(0.0, 3.0, 1.0, 30, 10), Fault);  // child 1 = -30 + 20
}

TEST(BlendValues, EachProductRoundedBeforeTheSum) {
  // Mixed to 11.999999999999998 each way; a fused multiply-add would make child 2 exactly 12.
  EXPECT_EQ(blend_values(0x1.2471483c27622p-2, 1.5, 0.25, 12, 12), (std::pair<Gene, Gene>{11, 11}));
}

TEST(SimulatedBinaryValues, HalfDrawKeepsParents) {
  EXPECT_EQ(simulated_binary_values(0.5, 1.0 / 3.0, 4, 9), (std::pair<Gene, Gene>{4, 9}));
}

TEST(SimulatedBinaryValues, ZeroDrawTakesTheFlooredMean) {
  EXPECT_EQ(simulated_binary_values(0.0, 1.0 / 3.0, 4, 9), (std::pair<Gene, Gene>{6, 6}));
}

TEST(SimulatedBinaryValues, EachProductRoundedBeforeTheSum) {
  // With eta = 0 (e = 1) beta is the base itself; a fused multiply-add would make child 2 12.
  EXPECT_EQ(simulated_binary_values(0x1.e5fbb687e5a62p-1, 1.0, 13, 13), (std::pair<Gene, Gene>{13, 13}));
}

TEST(SimulatedBinaryValues, EtaMinusOneFaultsAboveHalf) {
  const double e = 1.0 / (-1.0 + 1.0);
  EXPECT_THROW(simulated_binary_values(0.75, e, 3, 5), Fault);
}

// Children sized like their own parent, one draw per common position, in order.
template <typename Values>
void expect_positionwise(const CrossoverOperator& crossover, Values values) {
  const Genes a{10, 20, 30, 40, 50};
  const Genes b{7, 9, 11};
  RandomSource rng = RandomSource::from_seed(5);
  RandomSource replay = RandomSource::from_seed(5);
  const auto [x, y] = crossover.cross_genes(rng, a, b);
  Genes want_x(a.size(), 0);
  Genes want_y(b.size(), 0);
  for (std::size_t i = 0; i < b.size(); ++i) std::tie(want_x[i], want_y[i]) = values(replay.uniform_f64(), a[i], b[i]);
  EXPECT_EQ(x, want_x);
  EXPECT_EQ(y, want_y);
  EXPECT_EQ(rng.next_u64(), replay.next_u64());
}

TEST(BlendCrossover, PositionwiseWithOneDrawEach) {
  expect_positionwise(BlendCrossover(0.25), [](double u, Gene a, Gene b) { return blend_values(u, 1.5, 0.25, a, b); });
}

TEST(SimulatedBinaryCrossover, PositionwiseWithOneDrawEach) {
  expect_positionwise(SimulatedBinaryCrossover(2.0),
                      [](double u, Gene a, Gene b) { return simulated_binary_values(u, 1.0 / 3.0, a, b); });
}

TEST(MakeCrossover, KindsNeedingParametersAreRefused) {
  for (CrossoverKind kind : {CrossoverKind::Blend, CrossoverKind::SimulatedBinary}) {
    EXPECT_EQ(error_text<ConfigError>([&] { make_crossover(kind); }), "unrecognized crossover options");
  }
}

TEST(MakeCrossover, MakesTheNamedOperator) {
  EXPECT_NE(dynamic_cast<IpxCrossover*>(make_crossover(CrossoverKind::IPX).get()), nullptr);
  EXPECT_NE(dynamic_cast<PointCrossover*>(make_crossover(CrossoverKind::Point).get()), nullptr);
  const auto blend = make_crossover(CrossoverBlend{0.25});
  ASSERT_NE(dynamic_cast<BlendCrossover*>(blend.get()), nullptr);
  EXPECT_EQ(dynamic_cast<BlendCrossover&>(*blend).alpha(), 0.25);
  const auto sbx = make_crossover(CrossoverSimulatedBinary{3.5});
  ASSERT_NE(dynamic_cast<SimulatedBinaryCrossover*>(sbx.get()), nullptr);
  EXPECT_EQ(dynamic_cast<SimulatedBinaryCrossover&>(*sbx).eta(), 3.5);
}

}  // namespace
}  // namespace genetic
