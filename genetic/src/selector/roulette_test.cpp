#include "selector/roulette.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "testing.hpp"

namespace genetic {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Chromosome k has the single gene k, so a copy names the member it came from.
Chromosomes with_fitness(const std::vector<double>& fitness) {
  Chromosomes out;
  for (std::size_t k = 0; k < fitness.size(); ++k) out.push_back(Chromosome{{k}, fitness[k]});
  return out;
}

struct PickCase {
  std::string name;
  std::vector<double> weights;
  double u;
  std::size_t index;
};

class RoulettePick : public ::testing::TestWithParam<PickCase> {};

TEST_P(RoulettePick, ScanChoosesFirstTotalAtLeastTarget) {
  const auto& c = GetParam();
  EXPECT_EQ(roulette_pick(c.weights, c.u), c.index);
}

INSTANTIATE_TEST_SUITE_P(Examples, RoulettePick,
                         ::testing::Values(
                             // fitness 1, 3
                             PickCase{"below_quarter", {1.0, 4.0}, 0.2499, 0},
                             PickCase{"exactly_quarter", {1.0, 4.0}, 0.25, 0},
                             PickCase{"above_quarter", {1.0, 4.0}, 0.2501, 1},
                             PickCase{"zero_draw", {1.0, 4.0}, 0.0, 0}, PickCase{"all_zero", {0.0, 0.0, 0.0}, 0.7, 0},
                             // fitness 0, 2, 3: the leading zero needs u exactly 0
                             PickCase{"leading_zero_exact", {0.0, 2.0, 5.0}, 0.0, 0},
                             PickCase{"leading_zero_missed", {0.0, 2.0, 5.0}, 1e-12, 1},
                             // fitness 2, 0, 3: a later zero is never chosen
                             PickCase{"inner_zero_at_edge", {2.0, 2.0, 5.0}, 0.4, 0},
                             PickCase{"inner_zero_skipped", {2.0, 2.0, 5.0}, 0.41, 2},
                             // fitness -1, -2, -3
                             PickCase{"negative_half", {-1.0, -3.0, -6.0}, 0.5, 0},
                             PickCase{"negative_zero_draw_none_qualifies", {-1.0, -3.0, -6.0}, 0.0, 2},
                             // fitness 3, -5
                             PickCase{"mixed_sign", {3.0, -2.0}, 0.5, 0},
                             PickCase{"nan_total_none_qualifies", {1.0, kNaN}, 0.5, 1},
                             PickCase{"nan_entry_skipped", {kNaN, 3.0, 4.0}, 0.5, 1}),
                         [](const auto& info) { return info.param.name; });

// The table's binary search must stop where the scan stops, for every kind of
// table: sorted ones take the fast path, the others must not.
class RouletteTable : public ::testing::TestWithParam<std::vector<double>> {};

TEST_P(RouletteTable, RunningTotalsAndPickAgreeWithScan) {
  const auto& fitness = GetParam();
  RouletteSelector roulette;
  roulette.prepare(with_fitness(fitness));
  ASSERT_EQ(roulette.weights().size(), fitness.size());
  double total = 0.0;
  for (std::size_t k = 0; k < fitness.size(); ++k) {
    total += fitness[k];
    if (std::isnan(total)) {
      EXPECT_TRUE(std::isnan(roulette.weights()[k]));
    } else {
      EXPECT_EQ(roulette.weights()[k], total);
    }
  }
  std::vector<double> draws{0.0, 0.25, 0.5, 0.999999, std::nextafter(1.0, 0.0)};
  auto rng = RandomSource::from_seed(10);
  for (int k = 0; k < 200; ++k) draws.push_back(rng.uniform_f64());
  for (double u : draws) EXPECT_EQ(roulette.pick(u), roulette_pick(roulette.weights(), u)) << "u = " << u;
}

INSTANTIATE_TEST_SUITE_P(Tables, RouletteTable,
                         ::testing::Values(std::vector<double>{1.0, 3.0}, std::vector<double>{0.0, 0.0, 0.0},
                                           std::vector<double>{0.0, 2.0, 0.0, 3.0, 0.0},
                                           std::vector<double>{5.0, 1.0, 7.0, 2.0, 9.0},
                                           std::vector<double>{-1.0, -2.0, -3.0}, std::vector<double>{3.0, -5.0, 4.0},
                                           std::vector<double>{1.0, kNaN, 2.0}, std::vector<double>{kInf, 1.0},
                                           std::vector<double>{1e308, 1e308, 1.0}, std::vector<double>{-0.0, -0.0}),
                         [](const auto& info) { return "table" + std::to_string(info.index); });

TEST(RouletteSelector, EmptyPopulationGivesEmptyTable) {
  RouletteSelector roulette;
  roulette.prepare(with_fitness({1.0, 2.0}));
  roulette.prepare(Chromosomes{});
  EXPECT_TRUE(roulette.weights().empty());
}

TEST(RouletteSelector, MissingFitnessFaults) {
  RouletteSelector roulette;
  Chromosomes population = with_fitness({1.0, 2.0, 3.0});
  population[1].fitness.reset();
  const std::string message = "roulette selection needs every chromosome to have a fitness";
  EXPECT_EQ(error_text([&] { roulette.prepare(population); }), message);
  auto rng = RandomSource::from_seed(1);
  EXPECT_EQ(error_text([&] { roulette.select_indices(rng, population, 0); }), message);
}

TEST(RouletteSelector, EmptyTableFaultsBeforeDrawing) {
  RouletteSelector roulette;
  auto rng = RandomSource::from_seed(1);
  auto fresh = RandomSource::from_seed(1);
  const Chromosomes population = with_fitness({1.0});
  const std::string message = "roulette selection from an empty weight table";
  EXPECT_EQ(error_text([&] { roulette.select_one(rng, population); }), message);
  EXPECT_EQ(error_text([&] { roulette.select_indices(rng, Chromosomes{}, 2); }), message);
  EXPECT_EQ(rng.next_u64(), fresh.next_u64());
}

TEST(RouletteSelector, PickBeyondPopulationFaults) {
  RouletteSelector roulette;
  roulette.prepare(with_fitness({0.0, 0.0, 5.0}));  // any draw above 0 picks index 2
  auto rng = RandomSource::from_seed(1);
  const Chromosomes shorter = with_fitness({1.0});
  EXPECT_EQ(error_text([&] { roulette.select_one(rng, shorter); }),
            "roulette selection picked a chromosome beyond the population");
}

// Each pick costs exactly one uniform_f64, in output order.
TEST(RouletteSelector, SelectIndicesReplaysOneDrawPerPick) {
  const Chromosomes population = with_fitness({2.0, 0.5, 4.0, 1.5, 3.0});
  for (std::uint64_t seed = 0; seed < 10; ++seed) {
    RouletteSelector roulette;
    auto rng = RandomSource::from_seed(seed);
    auto replay = RandomSource::from_seed(seed);
    const auto picks = roulette.select_indices(rng, population, 12);
    ASSERT_EQ(picks.size(), 12u);
    for (const std::size_t pick : picks) EXPECT_EQ(pick, roulette_pick(roulette.weights(), replay.uniform_f64()));
    EXPECT_EQ(rng.next_u64(), replay.next_u64());
  }
}

TEST(RouletteSelector, CountZeroRebuildsTableAndDrawsNothing) {
  RouletteSelector roulette;
  roulette.prepare(with_fitness({9.0}));
  auto rng = RandomSource::from_seed(3);
  auto fresh = RandomSource::from_seed(3);
  EXPECT_TRUE(roulette.select_indices(rng, with_fitness({1.0, 2.0}), 0).empty());
  EXPECT_EQ(roulette.weights().size(), 2u);
  EXPECT_EQ(roulette.weights().back(), 3.0);
  EXPECT_EQ(rng.next_u64(), fresh.next_u64());
}

// Frequencies follow the fitness values. A fixed seed and a loose bound: only a
// real bias (an inverted or shifted table) fails.
TEST(RouletteSelector, FrequenciesAreProportionalToFitness) {
  RouletteSelector roulette;
  auto rng = RandomSource::from_seed(2024);
  const std::vector<double> fitness{1.0, 2.0, 3.0, 4.0};
  const auto picks = roulette.select_indices(rng, with_fitness(fitness), 50000);
  std::vector<double> counts(fitness.size());
  for (const std::size_t pick : picks) ++counts[pick];
  double chi = 0.0;
  for (std::size_t k = 0; k < fitness.size(); ++k) {
    const double expected = 50000.0 * fitness[k] / 10.0;
    chi += (counts[k] - expected) * (counts[k] - expected) / expected;
  }
  EXPECT_LT(chi, 35.0);  // 3 degrees of freedom
}

}  // namespace
}  // namespace genetic
