#include "selector/random.hpp"

#include <gtest/gtest.h>

#include <string>

#include "selector/roulette.hpp"
#include "selector/selector.hpp"
#include "testing.hpp"

namespace genetic {
namespace {

Chromosomes members(std::size_t n) {
  Chromosomes out;
  for (std::size_t k = 0; k < n; ++k) {
    // Every other member unevaluated: the random selector reads no fitness.
    out.push_back(Chromosome{{k, k + 100}, k % 2 == 0 ? std::optional<double>(-1.0 * k) : std::nullopt});
  }
  return out;
}

TEST(RandomSelector, SelectIndicesReplaysOneIndexDrawPerPick) {
  const Chromosomes population = members(6);
  for (std::uint64_t seed = 0; seed < 10; ++seed) {
    RandomSelector selector;
    auto rng = RandomSource::from_seed(seed);
    auto replay = RandomSource::from_seed(seed);
    const auto picks = selector.select_indices(rng, population, 15);
    ASSERT_EQ(picks.size(), 15u);
    for (const std::size_t pick : picks) EXPECT_EQ(pick, replay.uniform_index(0, population.size()));
    EXPECT_EQ(rng.next_u64(), replay.next_u64());
  }
}

TEST(RandomSelector, CountAbsentUsesPopulationLength) {
  RandomSelector selector;
  auto rng = RandomSource::from_seed(2);
  EXPECT_EQ(selector.select_indices(rng, members(7), std::nullopt).size(), 7u);
}

TEST(RandomSelector, SelectOneDrawsAnIndex) {
  RandomSelector selector;
  auto rng = RandomSource::from_seed(2);
  auto replay = RandomSource::from_seed(2);
  const Chromosomes population = members(4);
  const Chromosome& chosen = selector.select_one(rng, population);
  EXPECT_EQ(&chosen, &population[replay.uniform_index(0, 4)]);
}

TEST(RandomSelector, CountZeroDrawsNothingEvenWhenEmpty) {
  RandomSelector selector;
  auto rng = RandomSource::from_seed(2);
  auto fresh = RandomSource::from_seed(2);
  EXPECT_TRUE(selector.select_indices(rng, members(3), 0).empty());
  EXPECT_TRUE(selector.select_indices(rng, Chromosomes{}, std::nullopt).empty());
  EXPECT_EQ(rng.next_u64(), fresh.next_u64());
}

TEST(RandomSelector, EmptyPopulationFaults) {
  RandomSelector selector;
  auto rng = RandomSource::from_seed(2);
  EXPECT_EQ(error_text([&] { selector.select_indices(rng, Chromosomes{}, 1); }), kEmptyRange);
  EXPECT_EQ(error_text([&] { selector.select_one(rng, Chromosomes{}); }), kEmptyRange);
}

TEST(MakeSelector, EachKindMakesItsSelector) {
  EXPECT_NE(dynamic_cast<RouletteSelector*>(make_selector(SelectorKind::Roulette).get()), nullptr);
  EXPECT_NE(dynamic_cast<RandomSelector*>(make_selector(SelectorKind::Random).get()), nullptr);
}

}  // namespace
}  // namespace genetic
