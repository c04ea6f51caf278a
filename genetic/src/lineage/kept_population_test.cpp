#include "lineage/kept_population.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace genetic {
namespace {

KeptPopulation packed(const Population& population, unsigned width_guess = 1) {
  KeptPopulation kept(population);
  kept.pack(width_guess);
  return kept;
}

struct RoundTripCase {
  std::string name;
  Population population;
  unsigned width;  // the narrowest that holds every gene
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class KeptPopulationRoundTrip : public testing::TestWithParam<RoundTripCase> {};

// Packing keeps every gene, length, fitness and the generation, at every width and
// on either side of each width's limit, and takes the narrowest width whatever the
// guess, too narrow or too wide.
TEST_P(KeptPopulationRoundTrip, UnpacksToTheSamePopulation) {
  const Population& population = GetParam().population;
  for (const unsigned guess : {1U, 2U, 4U, 8U}) {
    const KeptPopulation kept = packed(population, guess);
    EXPECT_TRUE(kept.packed());
    EXPECT_EQ(kept.whole(), nullptr);
    EXPECT_EQ(kept.width(), GetParam().width) << "guess " << guess;
    EXPECT_EQ(kept.generation(), population.generation);
    EXPECT_EQ(kept.population(), population) << "guess " << guess;
    EXPECT_EQ(kept, KeptPopulation(population));
    EXPECT_EQ(KeptPopulation(population), kept);
    EXPECT_EQ(kept, packed(population)) << "guess " << guess;
  }
}

constexpr Gene kMax = std::numeric_limits<Gene>::max();

INSTANTIATE_TEST_SUITE_P(
    Widths, KeptPopulationRoundTrip,
    testing::Values(
        RoundTripCase{"Empty", Population{{}, 7}, 1},
        RoundTripCase{"EmptyChromosomes", Population{{{{}, std::nullopt}, {{}, 1.5}}, 2}, 1},
        RoundTripCase{"Byte", Population{{{{0, 255, 3}, 1.0}, {{9}, std::nullopt}}, 1}, 1},
        RoundTripCase{"TwoBytes", Population{{{{0, 256, 3}, 1.0}, {{65535}, -0.0}}, 1}, 2},
        RoundTripCase{"FourBytes", Population{{{{65536}, 1.0}, {{}, 2.0}, {{4294967295}, 3.0}}, 9}, 4},
        RoundTripCase{"EightBytes", Population{{{{4294967296, 1}, std::nullopt}, {{kMax, 0}, 4.0}}, kMax}, 8},
        RoundTripCase{"InfiniteFitness", Population{{{{2, 1}, std::numeric_limits<double>::infinity()}}, 0}, 1}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

struct EqualityCase {
  std::string name;
  Population a, b;
  bool equal;
};

void PrintTo(const EqualityCase& c, std::ostream* os) { *os << c.name; }

class KeptPopulationEquality : public testing::TestWithParam<EqualityCase> {};

// Population equality holds whichever side is packed.
TEST_P(KeptPopulationEquality, AgreesWithPopulationEquality) {
  const EqualityCase& c = GetParam();
  ASSERT_EQ(c.a == c.b, c.equal);
  const KeptPopulation whole_a(c.a), whole_b(c.b);
  const KeptPopulation packed_a = packed(c.a), packed_b = packed(c.b);
  EXPECT_EQ(whole_a == whole_b, c.equal);
  EXPECT_EQ(packed_a == packed_b, c.equal);
  EXPECT_EQ(whole_a == packed_b, c.equal);
  EXPECT_EQ(packed_a == whole_b, c.equal);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, KeptPopulationEquality,
    testing::Values(EqualityCase{"Same", {{{{1, 2}, 1.0}}, 3}, {{{{1, 2}, 1.0}}, 3}, true},
                    EqualityCase{"SignedZeros", {{{{1}, 0.0}}, 3}, {{{{1}, -0.0}}, 3}, true},
                    EqualityCase{"NaNFitness", {{{{1}, kNaN}}, 3}, {{{{1}, kNaN}}, 3}, false},
                    EqualityCase{"AbsentAndZero", {{{{1}, std::nullopt}}, 3}, {{{{1}, 0.0}}, 3}, false},
                    EqualityCase{"Generation", {{{{1}, 1.0}}, 3}, {{{{1}, 1.0}}, 4}, false},
                    EqualityCase{"OneGene", {{{{1, 2}, 1.0}}, 3}, {{{{1, 3}, 1.0}}, 3}, false},
                    // The same genes one after another, split differently between chromosomes.
                    EqualityCase{"Split", {{{{1, 2}, 1.0}, {{3}, 1.0}}, 0}, {{{{1}, 1.0}, {{2, 3}, 1.0}}, 0}, false},
                    EqualityCase{"MoreChromosomes", {{{{1}, 1.0}}, 0}, {{{{1}, 1.0}, {{}, 1.0}}, 0}, false},
                    // Different widths: the larger gene decides it, so they can never match.
                    EqualityCase{"Widths", {{{{1, 2}, 1.0}}, 0}, {{{{1, 256}, 1.0}}, 0}, false}),
    [](const testing::TestParamInfo<EqualityCase>& info) { return info.param.name; });

TEST(KeptPopulation, WholeUntilPackedAndPackedOnce) {
  const Population population{{{{5, 4}, 1.0}}, 2};
  KeptPopulation kept(population);
  ASSERT_NE(kept.whole(), nullptr);
  EXPECT_EQ(*kept.whole(), population);
  EXPECT_FALSE(kept.packed());
  EXPECT_EQ(kept.width(), sizeof(Gene));
  kept.pack();
  kept.pack(8);
  EXPECT_TRUE(kept.packed());
  EXPECT_EQ(kept.width(), 1U);
  EXPECT_EQ(kept.population(), population);
}

}  // namespace
}  // namespace genetic
