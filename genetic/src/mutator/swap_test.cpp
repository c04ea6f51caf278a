#include "mutator/swap.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "testing.hpp"

namespace genetic {
namespace {

// Three distinct offspring, each with a fitness, so copies and mutations are told apart.
Chromosomes sample_offspring(std::size_t n = 3, std::uint64_t n_genes = 6) {
  Chromosomes out;
  for (std::size_t k = 0; k < n; ++k) {
    Genes g = identity(n_genes);
    std::rotate(g.begin(), g.begin() + static_cast<std::ptrdiff_t>(k % n_genes), g.end());
    out.push_back(Chromosome{std::move(g), 10.0 + static_cast<double>(k)});
  }
  return out;
}

struct PartnerCase {
  std::uint64_t i, j, partner;
};

class SwapPartner : public ::testing::TestWithParam<PartnerCase> {};

TEST_P(SwapPartner, SkipsOwnPosition) { EXPECT_EQ(swap_partner(GetParam().i, GetParam().j), GetParam().partner); }

INSTANTIATE_TEST_SUITE_P(Examples, SwapPartner,
                         ::testing::Values(PartnerCase{0, 0, 1}, PartnerCase{1, 0, 0}, PartnerCase{2, 1, 1},
                                           PartnerCase{2, 2, 3}, PartnerCase{3, 5, 6}, PartnerCase{4, 3, 3}));

// Replays mutate_genes by hand: per position one uniform_f64, and after a passing
// test (u <= p_swap) one uniform_index(0, L - 1) for the partner.
Genes replay_mutate_genes(RandomSource& rng, Genes genes, double p_swap) {
  const std::uint64_t length = genes.size();
  for (std::uint64_t i = 0; i < length; ++i) {
    if (!(rng.uniform_f64() <= p_swap)) continue;
    std::swap(genes[i], genes[swap_partner(i, rng.uniform_index(0, length - 1))]);
  }
  return genes;
}

class SwapMutateGenesReplay : public ::testing::TestWithParam<double> {};

TEST_P(SwapMutateGenesReplay, DrawsInOrderAndKeepsAnOrdering) {
  const double p_swap = GetParam();
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    auto rng = RandomSource::from_seed(seed);
    auto replay = RandomSource::from_seed(seed);
    Genes genes = identity(11);
    SwapMutator{p_swap}.mutate_genes(rng, genes);
    EXPECT_EQ(genes, replay_mutate_genes(replay, identity(11), p_swap));
    EXPECT_EQ(sorted(genes), identity(11));
    EXPECT_EQ(rng.next_u64(), replay.next_u64());
  }
}

INSTANTIATE_TEST_SUITE_P(PSwap, SwapMutateGenesReplay, ::testing::Values(0.0, 0.3, 1.0));

// The integer threshold must agree with the float test "not u > p" at the draws on
// either side of it and at both ends, for every kind of p.
class SwapThreshold : public ::testing::TestWithParam<double> {};

TEST_P(SwapThreshold, AgreesWithTheFloatTest) {
  const double p = GetParam();
  const std::uint64_t below = swap_draws_below(p);
  constexpr std::uint64_t kAll = std::uint64_t{1} << 53;
  ASSERT_LE(below, kAll);
  const auto swaps = [p](std::uint64_t k) { return !(static_cast<double>(k) * 0x1.0p-53 > p); };
  for (const std::uint64_t k :
       {std::uint64_t{0}, std::uint64_t{1}, below - 2, below - 1, below, below + 1, kAll - 2, kAll - 1}) {
    if (k >= kAll) continue;  // outside the draws (including wrapped values near 0)
    EXPECT_EQ(k < below, swaps(k)) << "p " << p << ", k " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Values, SwapThreshold,
                         ::testing::Values(0.0, -0.0, -1.0, -std::numeric_limits<double>::infinity(),
                                           std::numeric_limits<double>::denorm_min(), 0x1.0p-53, 0x1.8p-53, 0x1.0p-54,
                                           1.0 / 3.0, 0.005, 0.5, std::nextafter(1.0, 0.0), 1.0, 2.5,
                                           std::numeric_limits<double>::infinity(),
                                           std::numeric_limits<double>::quiet_NaN()));

TEST(SwapMutateGenes, TwoGenesBothSwappedRestoreTheOrder) {
  auto rng = RandomSource::from_seed(4);
  Genes genes{7, 9};
  SwapMutator{1.0}.mutate_genes(rng, genes);
  EXPECT_EQ(genes, (Genes{7, 9}));
}

TEST(SwapMutateGenes, EmptyDrawsNothing) {
  auto rng = RandomSource::from_seed(4);
  auto fresh = RandomSource::from_seed(4);
  Genes genes;
  SwapMutator{1.0}.mutate_genes(rng, genes);
  EXPECT_EQ(rng.next_u64(), fresh.next_u64());
}

TEST(SwapMutateGenes, OneGeneWithPassingTestHasNoPartner) {
  auto rng = RandomSource::from_seed(4);
  Genes genes{3};
  EXPECT_EQ(error_text([&] { SwapMutator{1.0}.mutate_genes(rng, genes); }), kEmptyRange);
}

TEST(SwapMutateGenes, OneGeneWithFailingTestIsUnchanged) {
  auto rng = RandomSource::from_seed(4);
  Genes genes{3};
  SwapMutator{-1.0}.mutate_genes(rng, genes);
  EXPECT_EQ(genes, (Genes{3}));
}

// The whole population by hand: take offspring in cycle, one decision draw per
// copy (strictly below p_mutation), then the per-position draws of a mutated copy.
Chromosomes replay_population(RandomSource& rng, const Chromosomes& offspring, std::uint64_t n, double p_swap,
                              double p_mutation) {
  Chromosomes out;
  for (std::uint64_t k = 0; k < n; ++k) {
    Chromosome copy = offspring[k % offspring.size()];
    if (rng.uniform_f64() < p_mutation) {
      copy.genes = replay_mutate_genes(rng, copy.genes, p_swap);
      copy.fitness.reset();
    }
    out.push_back(copy);
  }
  return out;
}

struct PopulationCase {
  std::string name;
  std::size_t offspring;
  Count count;
  double p_mutation;
};

class SwapMutatePopulation : public ::testing::TestWithParam<PopulationCase> {};

TEST_P(SwapMutatePopulation, MatchesHandReplay) {
  const auto& c = GetParam();
  const SwapMutator mutator{0.4};
  const Chromosomes offspring = sample_offspring(c.offspring);
  const std::uint64_t n = c.count.value_or(c.offspring);
  for (std::uint64_t seed = 0; seed < 10; ++seed) {
    auto rng = RandomSource::from_seed(seed);
    auto replay = RandomSource::from_seed(seed);
    const auto result = mutator.mutate_population(rng, sample_offspring(c.offspring), c.count, c.p_mutation);
    ASSERT_EQ(result.size(), n);
    EXPECT_EQ(result, replay_population(replay, offspring, n, mutator.p_swap(), c.p_mutation));
    EXPECT_EQ(rng.next_u64(), replay.next_u64());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SwapMutatePopulation,
                         ::testing::Values(PopulationCase{"count_absent", 4, std::nullopt, 0.5},
                                           PopulationCase{"odd_count_drops_last", 4, 3, 0.5},
                                           PopulationCase{"count_equals_length", 3, 3, 0.7},
                                           PopulationCase{"cycles_when_short", 2, 5, 0.5},
                                           PopulationCase{"all_mutated", 3, 4, 1.0},
                                           PopulationCase{"none_mutated_still_draws", 2, 5, 0.0}),
                         [](const auto& info) { return info.param.name; });

TEST(SwapMutatePopulationCases, MutatedWithoutSwapsLosesFitness) {
  auto rng = RandomSource::from_seed(6);
  const Chromosomes offspring = sample_offspring(3);
  const auto result = SwapMutator{-1.0}.mutate_population(rng, Chromosomes(offspring), std::nullopt, 1.0);
  ASSERT_EQ(result.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(result[k].genes, offspring[k].genes);
    EXPECT_FALSE(result[k].fitness.has_value());
  }
}

// No comparison with NaN is true: a NaN p_swap passes every position's test ("not
// u > p_swap") as 1.0 does, and a NaN p_mutation fails every chromosome's ("u < p") as
// 0.0 does; same seed, same result and the same draws.
TEST(SwapMutatePopulationCases, NaNSwapsEveryPositionAndMutatesNoChromosome) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::uint64_t seed = 0; seed < 10; ++seed) {
    auto rng = RandomSource::from_seed(seed);
    auto as_one = RandomSource::from_seed(seed);
    EXPECT_EQ(SwapMutator{nan}.mutate_population(rng, sample_offspring(4, 9), 6, 1.0),
              SwapMutator{1.0}.mutate_population(as_one, sample_offspring(4, 9), 6, 1.0));
    EXPECT_EQ(SwapMutator{0.5}.mutate_population(rng, sample_offspring(4, 9), 6, nan),
              SwapMutator{0.5}.mutate_population(as_one, sample_offspring(4, 9), 6, 0.0));
    EXPECT_EQ(rng.next_u64(), as_one.next_u64());
  }
}

TEST(SwapMutatePopulationCases, CountZeroDrawsNothing) {
  auto rng = RandomSource::from_seed(6);
  auto fresh = RandomSource::from_seed(6);
  const SwapMutator mutator{1.0};
  EXPECT_TRUE(mutator.mutate_population(rng, sample_offspring(3), 0, 1.0).empty());
  EXPECT_TRUE(mutator.mutate_population(rng, Chromosomes{}, std::nullopt, 1.0).empty());
  EXPECT_TRUE(mutator.mutate_population(rng, Chromosomes{}, 0, 1.0).empty());
  EXPECT_EQ(rng.next_u64(), fresh.next_u64());
}

TEST(SwapMutatePopulationCases, EmptyOffspringWithPositiveCountFaults) {
  auto rng = RandomSource::from_seed(6);
  const SwapMutator mutator{0.5};
  EXPECT_EQ(error_text([&] { mutator.mutate_population(rng, Chromosomes{}, 3, 0.5); }),
            "cannot mutate a population from an empty offspring list");
}

TEST(SwapMutatePopulationCases, ChromosomesTakenOnceAreMoved) {
  auto rng = RandomSource::from_seed(6);
  Chromosomes offspring = sample_offspring(3);
  const Gene* first = offspring[0].genes.data();
  const auto result = SwapMutator{0.5}.mutate_population(rng, std::move(offspring), 2, 0.5);
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0].genes.data(), first);
}

TEST(SwapMutatePopulationCases, CyclingCopiesFromIntactOffspring) {
  auto rng = RandomSource::from_seed(6);
  Chromosomes offspring = sample_offspring(2);
  const auto result = SwapMutator{0.5}.mutate_population(rng, std::move(offspring), 5, 0.5);
  ASSERT_EQ(result.size(), 5u);
  // The offspring had to stay whole to be taken again, so it was copied from.
  EXPECT_EQ(offspring, sample_offspring(2));  // NOLINT(bugprone-use-after-move)
}

}  // namespace
}  // namespace genetic
