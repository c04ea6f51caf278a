#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "crossover/crossover_operator.hpp"
#include "testing.hpp"

namespace genetic {
namespace {

// Children that show where they came from: each parent's genes plus 100. Draws nothing,
// so the only draws are the pairing decisions.
class MarkingCrossover final : public CrossoverOperator {
 public:
  std::pair<Genes, Genes> cross_genes(RandomSource&, std::span<const Gene> a, std::span<const Gene> b) const override {
    Genes x(a.begin(), a.end());
    Genes y(b.begin(), b.end());
    for (Gene& g : x) g += 100;
    for (Gene& g : y) g += 100;
    return {x, y};
  }
};

Chromosomes numbered_parents(std::size_t n) {
  Chromosomes parents;
  for (std::size_t i = 0; i < n; ++i) parents.push_back({{i, i + 10}, static_cast<double>(i)});
  return parents;
}

// Every parent in order: picks 0, 1, ..., n - 1.
std::vector<std::size_t> in_order(std::size_t n) {
  std::vector<std::size_t> picks(n);
  std::iota(picks.begin(), picks.end(), std::size_t{0});
  return picks;
}

// The offspring the pairing rule gives MarkingCrossover, replayed from the same seed.
Chromosomes replay(std::uint64_t seed, const Chromosomes& parents, std::uint64_t n, double p) {
  RandomSource rng = RandomSource::from_seed(seed);
  Chromosomes out;
  const std::size_t pairs = parents.size() / 2;
  for (std::size_t pair = 0; out.size() < n; pair = (pair + 1) % pairs) {
    const Chromosome& a = parents[2 * pair];
    const Chromosome& b = parents[2 * pair + 1];
    if (rng.uniform_f64() > p) {
      out.push_back(a);
      out.push_back(b);
    } else {
      Chromosome x{a.genes, std::nullopt};
      Chromosome y{b.genes, std::nullopt};
      for (Gene& g : x.genes) g += 100;
      for (Gene& g : y.genes) g += 100;
      out.push_back(x);
      out.push_back(y);
    }
  }
  return out;
}

struct PairingCase {
  std::string name;
  std::size_t n_parents;
  Count count;
  double p_crossover;
  std::size_t expected_size;
};

void PrintTo(const PairingCase& c, std::ostream* os) { *os << c.name; }

class CrossPopulation : public testing::TestWithParam<PairingCase> {};

// Parents are picked from a population, repeats included, and read where they are:
// the offspring are what the pairing rule gives for copies of the picks.
TEST_P(CrossPopulation, FollowsThePairingRuleAndItsDraws) {
  const PairingCase& c = GetParam();
  const std::uint64_t n = c.count.value_or(c.n_parents);
  for (std::uint64_t seed = 1; seed <= 20; ++seed) {
    RandomSource setup = RandomSource::from_seed(seed + 100);
    Chromosomes population;
    for (std::size_t i = 0; i < 5; ++i) {
      population.push_back({setup.sample_indices<Genes::allocator_type>(6, 6), 0.5 * static_cast<double>(i)});
    }
    std::vector<std::size_t> picks;
    Chromosomes parents;
    for (std::size_t i = 0; i < c.n_parents; ++i) {
      picks.push_back(setup.uniform_index(0, population.size()));
      parents.push_back(population[picks.back()]);
    }
    RandomSource rng = RandomSource::from_seed(seed);
    const Chromosomes got = MarkingCrossover().cross_population(rng, population, picks, c.count, c.p_crossover);
    ASSERT_EQ(got.size(), c.expected_size);
    EXPECT_EQ(got, replay(seed, parents, n, c.p_crossover)) << "seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CrossPopulation,
                         testing::Values(PairingCase{"EvenCountEvenParents", 6, 6, 0.5, 6},
                                         // pairs (0,1), (2,3), then (0,1) again; parent 4 takes no part
                                         PairingCase{"OddCountReusesFirstPair", 5, 5, 0.5, 6},
                                         PairingCase{"CountAboveParentsCycles", 4, 11, 0.5, 12},
                                         PairingCase{"AbsentCountIsParentCount", 7, std::nullopt, 0.5, 8},
                                         PairingCase{"SmallerCountStopsEarly", 8, 3, 0.5, 4},
                                         PairingCase{"AlwaysCross", 4, 4, 1.0, 4},
                                         PairingCase{"NeverCross", 4, 9, -1.0, 10},
                                         PairingCase{"ZeroCrossesOnlyOnZeroDraw", 2, 8, 0.0, 8}),
                         [](const testing::TestParamInfo<PairingCase>& info) { return info.param.name; });

TEST(CrossPopulation, CopiesKeepFitnessAndChildrenHaveNone) {
  const Chromosomes parents = numbered_parents(4);
  RandomSource rng = RandomSource::from_seed(7);
  const MarkingCrossover crossover;
  for (const Chromosome& c : crossover.cross_population(rng, parents, in_order(4), 4, -1.0)) EXPECT_TRUE(c.fitness);
  for (const Chromosome& c : crossover.cross_population(rng, parents, in_order(4), 4, 1.0)) EXPECT_FALSE(c.fitness);
}

// No comparison with NaN is true, so a NaN p_crossover never keeps a pair ("u > p"):
// every pair is crossed.
TEST(CrossPopulation, NaNCrossesEveryPair) {
  for (std::uint64_t seed = 1; seed <= 10; ++seed) {
    RandomSource rng = RandomSource::from_seed(seed);
    const Chromosomes got = MarkingCrossover().cross_population(rng, numbered_parents(6), in_order(6), 6,
                                                                std::numeric_limits<double>::quiet_NaN());
    ASSERT_EQ(got.size(), 6U);
    for (const Chromosome& child : got) EXPECT_GE(child.genes[0], 100U) << "seed " << seed;
  }
}

TEST(CrossPopulation, ZeroCountReturnsNothingAndDrawsNothing) {
  RandomSource rng = RandomSource::from_seed(3);
  RandomSource untouched = RandomSource::from_seed(3);
  const MarkingCrossover crossover;
  EXPECT_TRUE(crossover.cross_population(rng, numbered_parents(4), in_order(4), 0, 1.0).empty());
  EXPECT_TRUE(crossover.cross_population(rng, Chromosomes{}, {}, 0, 1.0).empty());
  EXPECT_TRUE(crossover.cross_population(rng, Chromosomes{}, {}, std::nullopt, 1.0).empty());
  EXPECT_EQ(rng.next_u64(), untouched.next_u64());
}

TEST(CrossPopulation, FewerThanTwoParentsFault) {
  RandomSource rng = RandomSource::from_seed(3);
  const MarkingCrossover crossover;
  const Chromosomes population = numbered_parents(2);
  for (std::size_t n_parents : {0, 1}) {
    const std::vector<std::size_t> picks(n_parents, 0);
    EXPECT_EQ(error_text([&] { crossover.cross_population(rng, population, picks, 1, 1.0); }),
              "crossover needs at least two parents to form a pair; it was given " + std::to_string(n_parents) +
                  " for a count of 1");
  }
  EXPECT_THROW(crossover.cross_population(rng, population, in_order(1), std::nullopt, 1.0), Fault);
}

TEST(CrossPair, ChildrenHaveNoFitness) {
  RandomSource rng = RandomSource::from_seed(1);
  const auto [x, y] = MarkingCrossover().cross_pair(rng, {{1, 2}, 4.0}, {{3, 4}, 5.0});
  EXPECT_EQ(x, (Chromosome{{101, 102}, std::nullopt}));
  EXPECT_EQ(y, (Chromosome{{103, 104}, std::nullopt}));
}

}  // namespace
}  // namespace genetic
