#include "lineage/hall_of_fame.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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

std::vector<double> fitnesses(const HallOfFame& hof) {
  std::vector<double> out;
  for (const Chromosome& c : hof.chromosomes) out.push_back(*c.fitness);
  return out;
}

GeneSet genes_of(const Chromosomes& chromosomes) {
  GeneSet out;
  for (const Chromosome& c : chromosomes) out.insert(c.genes);
  return out;
}

HallOfFame empty(std::uint64_t capacity) { return HallOfFame{.chromosomes = {}, .uniques = {}, .capacity = capacity}; }

TEST(HallOfFame, CapacityOneKeepsFirstToReachTheBest) {
  HallOfFame hof = empty(1);
  hof.update(with_fitness({3, 5, 5, 4}));
  EXPECT_EQ(hof.chromosomes, (Chromosomes{{{1}, 5.0}}));
  EXPECT_EQ(hof.uniques, (GeneSet{{1}}));
}

TEST(HallOfFame, OrdersBestFirst) {
  HallOfFame hof = empty(3);
  hof.update(with_fitness({2, 7, 5, 9}));
  EXPECT_EQ(hof.chromosomes, (Chromosomes{{{3}, 9.0}, {{1}, 7.0}, {{2}, 5.0}}));
  EXPECT_EQ(hof.uniques, genes_of(hof.chromosomes));
}

TEST(HallOfFame, FullAdmitsOnlyStrictlyBetterThanWorstAndEvictsIt) {
  HallOfFame hof = empty(3);
  hof.update(with_fitness({9, 7, 5}));
  hof.update(with_fitness({5}, 10));
  EXPECT_EQ(fitnesses(hof), (std::vector<double>{9, 7, 5}));
  EXPECT_EQ(hof.chromosomes[2].genes, Genes{2});

  hof.update(with_fitness({6}, 11));
  EXPECT_EQ(hof.chromosomes, (Chromosomes{{{0}, 9.0}, {{1}, 7.0}, {{11}, 6.0}}));
  EXPECT_EQ(hof.uniques, genes_of(hof.chromosomes));
  EXPECT_FALSE(hof.uniques.contains(Genes{2}));
}

TEST(HallOfFame, SameGenesNeverAdmittedTwice) {
  HallOfFame hof = empty(2);
  hof.update(Chromosomes{{{4, 2}, 5.0}});
  hof.update(Chromosomes{{{4, 2}, 5.0}, {{4, 2}, 8.0}});
  EXPECT_EQ(hof.chromosomes, (Chromosomes{{{4, 2}, 5.0}}));

  hof.update(Chromosomes{{{2, 4}, 5.0}});
  EXPECT_EQ(hof.chromosomes, (Chromosomes{{{4, 2}, 5.0}, {{2, 4}, 5.0}}));
  EXPECT_EQ(hof.uniques.size(), 2U);
}

TEST(HallOfFame, EqualNewcomersRankInArrivalOrder) {
  HallOfFame hof = empty(3);
  hof.update(with_fitness({4, 6, 6}));
  EXPECT_EQ(hof.chromosomes, (Chromosomes{{{1}, 6.0}, {{2}, 6.0}, {{0}, 4.0}}));
}

TEST(HallOfFame, CapacityZeroAdmitsNothing) {
  HallOfFame hof = empty(0);
  hof.update(with_fitness({1, 2, 3}));
  EXPECT_TRUE(hof.chromosomes.empty());
  EXPECT_TRUE(hof.uniques.empty());
}

TEST(HallOfFame, NaNGoesLastAndBlocksLaterCandidates) {
  HallOfFame hof = empty(4);
  hof.update(with_fitness({3, kNaN}));
  ASSERT_EQ(hof.chromosomes.size(), 2U);
  EXPECT_EQ(hof.chromosomes[0].genes, Genes{0});
  EXPECT_TRUE(std::isnan(*hof.chromosomes[1].fitness));

  hof.update(with_fitness({10, 1}, 5));
  EXPECT_EQ(hof.chromosomes[2].genes, Genes{5});
  EXPECT_EQ(hof.chromosomes[3].genes, Genes{6});
  EXPECT_EQ(hof.uniques, genes_of(hof.chromosomes));
}

TEST(HallOfFame, MissingFitnessFaults) {
  HallOfFame hof = empty(2);
  EXPECT_EQ(error_text([&] { hof.update(Chromosomes{{{1}, std::nullopt}}); }),
            "the hall of fame was offered a chromosome without fitness");
  // A member without fitness is met by the scan for a better candidate.
  HallOfFame broken{.chromosomes = {{{1}, std::nullopt}}, .uniques = {{1}}, .capacity = 2};
  EXPECT_THROW(broken.update(with_fitness({3}, 7)), Fault);
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
