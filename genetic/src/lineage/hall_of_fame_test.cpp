#include "lineage/hall_of_fame.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <unordered_set>

#include "testing.hpp"

namespace genetic {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// One chromosome per fitness, with genes {i} so that all differ.
Chromosomes with_fitness(std::initializer_list<double> values, Gene first_gene = 0) {
  Chromosomes out;
  for (double v : values) out.push_back({{first_gene++}, v});
  return out;
}

std::vector<double> fitnesses(const RunHallOfFame& hof) {
  std::vector<double> out;
  for (const Chromosome& c : hof.copy().chromosomes) out.push_back(*c.fitness);
  return out;
}

GeneSet genes_of(const Chromosomes& chromosomes) {
  GeneSet out;
  for (const Chromosome& c : chromosomes) out.insert(c.genes);
  return out;
}

RunHallOfFame empty(std::uint64_t capacity) { return RunHallOfFame(capacity); }

TEST(HallOfFame, CapacityOneKeepsFirstToReachTheBest) {
  RunHallOfFame hof = empty(1);
  hof.update(with_fitness({3, 5, 5, 4}));
  EXPECT_EQ(hof.copy().chromosomes, (Chromosomes{{{1}, 5.0}}));
  EXPECT_EQ(hof.copy().uniques, (GeneSet{{1}}));
}

TEST(HallOfFame, OrdersBestFirst) {
  RunHallOfFame hof = empty(3);
  hof.update(with_fitness({2, 7, 5, 9}));
  EXPECT_EQ(hof.copy().chromosomes, (Chromosomes{{{3}, 9.0}, {{1}, 7.0}, {{2}, 5.0}}));
  EXPECT_EQ(hof.copy().uniques, genes_of(hof.copy().chromosomes));
}

TEST(HallOfFame, FullAdmitsOnlyStrictlyBetterThanWorstAndEvictsIt) {
  RunHallOfFame hof = empty(3);
  hof.update(with_fitness({9, 7, 5}));
  hof.update(with_fitness({5}, 10));
  EXPECT_EQ(fitnesses(hof), (std::vector<double>{9, 7, 5}));
  EXPECT_EQ(hof.copy().chromosomes[2].genes, Genes{2});

  hof.update(with_fitness({6}, 11));
  EXPECT_EQ(hof.copy().chromosomes, (Chromosomes{{{0}, 9.0}, {{1}, 7.0}, {{11}, 6.0}}));
  EXPECT_EQ(hof.copy().uniques, genes_of(hof.copy().chromosomes));
  EXPECT_FALSE(hof.copy().uniques.contains(Genes{2}));
}

TEST(HallOfFame, SameGenesNeverAdmittedTwice) {
  RunHallOfFame hof = empty(2);
  hof.update(Chromosomes{{{4, 2}, 5.0}});
  hof.update(Chromosomes{{{4, 2}, 5.0}, {{4, 2}, 8.0}});
  EXPECT_EQ(hof.copy().chromosomes, (Chromosomes{{{4, 2}, 5.0}}));

  hof.update(Chromosomes{{{2, 4}, 5.0}});
  EXPECT_EQ(hof.copy().chromosomes, (Chromosomes{{{4, 2}, 5.0}, {{2, 4}, 5.0}}));
  EXPECT_EQ(hof.copy().uniques.size(), 2U);
}

TEST(HallOfFame, EqualNewcomersRankInArrivalOrder) {
  RunHallOfFame hof = empty(3);
  hof.update(with_fitness({4, 6, 6}));
  EXPECT_EQ(hof.copy().chromosomes, (Chromosomes{{{1}, 6.0}, {{2}, 6.0}, {{0}, 4.0}}));
}

TEST(HallOfFame, CapacityZeroAdmitsNothing) {
  RunHallOfFame hof = empty(0);
  hof.update(with_fitness({1, 2, 3}));
  EXPECT_TRUE(hof.copy().chromosomes.empty());
  EXPECT_TRUE(hof.copy().uniques.empty());
}

TEST(HallOfFame, NaNGoesLastAndBlocksLaterCandidates) {
  RunHallOfFame hof = empty(4);
  hof.update(with_fitness({3, kNaN}));
  ASSERT_EQ(hof.copy().chromosomes.size(), 2U);
  EXPECT_EQ(hof.copy().chromosomes[0].genes, Genes{0});
  EXPECT_TRUE(std::isnan(*hof.copy().chromosomes[1].fitness));

  hof.update(with_fitness({10, 1}, 5));
  EXPECT_EQ(hof.copy().chromosomes[2].genes, Genes{5});
  EXPECT_EQ(hof.copy().chromosomes[3].genes, Genes{6});
  EXPECT_EQ(hof.copy().uniques, genes_of(hof.copy().chromosomes));
}

TEST(HallOfFame, MissingFitnessFaults) {
  RunHallOfFame hof = empty(2);
  EXPECT_EQ(error_text([&] { hof.update(Chromosomes{{{1}, std::nullopt}}); }),
            "the hall of fame was offered a chromosome without fitness");
  EXPECT_EQ(hof.size(), 0U);
}

// The admission rule written as a plain scan over a list kept best first.
void scan_update(HallOfFame& hof, std::span<const Chromosome> population) {
  for (const Chromosome& candidate : population) {
    const double x = *candidate.fitness;
    std::size_t i = static_cast<std::size_t>(std::min<std::uint64_t>(hof.chromosomes.size(), hof.capacity));
    while (i > 0 && x > *hof.chromosomes[i - 1].fitness) --i;
    if (i >= hof.capacity) continue;
    if (!hof.uniques.insert(candidate.genes).second) continue;
    hof.chromosomes.insert(hof.chromosomes.begin() + static_cast<std::ptrdiff_t>(i), Chromosome{candidate.genes, x});
    if (hof.chromosomes.size() > hof.capacity) {
      hof.uniques.erase(hof.chromosomes.back().genes);
      hof.chromosomes.pop_back();
    }
  }
}

// Few distinct fitness values and genes, so that ties, repeats, evictions and the odd NaN
// or signed zero are met often.
TEST(RunHallOfFame, AdmitsExactlyAsThePlainScan) {
  std::mt19937_64 draw(20240611);
  const double values[] = {1.0, 2.0, 2.0, 3.0, 0.0, -0.0, -1.0, std::numeric_limits<double>::infinity(), kNaN};
  for (int trial = 0; trial < 300; ++trial) {
    const std::uint64_t capacity = draw() % 12;
    const bool with_nan = trial % 3 == 0;
    RunHallOfFame fast(capacity);
    HallOfFame plain{.chromosomes = {}, .uniques = {}, .capacity = capacity};
    for (int batch = 0; batch < 6; ++batch) {
      Chromosomes population;
      for (int k = 0; k < 8; ++k) {
        double x = values[draw() % (with_nan ? 9 : 8)];
        if (draw() % 4 == 0) x += static_cast<double>(draw() % 5);
        population.push_back({{draw() % 3, draw() % 4}, x});
      }
      fast.update(population);
      scan_update(plain, population);
      const HallOfFame got = fast.copy();
      ASSERT_EQ(got.chromosomes.size(), plain.chromosomes.size()) << "trial " << trial;
      for (std::size_t i = 0; i < got.chromosomes.size(); ++i) {
        const Chromosome& a = got.chromosomes[i];
        const Chromosome& b = plain.chromosomes[i];
        // Bitwise, so that NaN members and the sign of a zero count.
        EXPECT_TRUE(a.genes == b.genes &&
                    std::bit_cast<std::uint64_t>(*a.fitness) == std::bit_cast<std::uint64_t>(*b.fitness))
            << "trial " << trial << " member " << i;
      }
      EXPECT_EQ(got.uniques, plain.uniques) << "trial " << trial;
      EXPECT_EQ(fast.size(), got.chromosomes.size());
    }
    HallOfFame moved = std::move(fast).to_hall_of_fame();
    EXPECT_EQ(moved.chromosomes.size(), plain.chromosomes.size());
    EXPECT_EQ(moved.uniques, plain.uniques);
    EXPECT_EQ(moved.capacity, capacity);
  }
}

TEST(GenesHash, DistinguishesLengthsAndValues) {
  const GenesHash hash;
  EXPECT_EQ(hash(Genes{3, 1, 2}), hash(Genes{3, 1, 2}));
  std::unordered_set<std::size_t> seen;
  for (Gene a = 0; a < 20; ++a) {
    for (Gene b = 0; b < 20; ++b) {
      seen.insert(hash(Genes{a, b}));
      seen.insert(hash(Genes{a, b, 0}));
    }
    seen.insert(hash(Genes{a}));
  }
  seen.insert(hash(Genes{}));
  // 821 sequences; a few collisions would be chance, many would be a broken hash.
  EXPECT_GE(seen.size(), 815U);
}

}  // namespace
}  // namespace genetic
