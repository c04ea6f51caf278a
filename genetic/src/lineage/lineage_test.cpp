#include "lineage/lineage.hpp"

#include <gtest/gtest.h>

namespace genetic {
namespace {

// Generation g holds chromosomes {g, 1} and {g, 2}, whose fitness is their gene sum.
Population population(std::uint64_t generation) {
  const auto g = static_cast<double>(generation);
  return Population{.chromosomes = {{{generation, 1}, g + 1.0}, {{generation, 2}, g + 2.0}}, .generation = generation};
}

// What a run does with each population once it is evaluated; the record's max is the generation.
void add(RunLineage& lineage, Population population) {
  lineage.offer(population.chromosomes);
  lineage.record(
      FitnessStatistics{.size = population.chromosomes.size(), .max = static_cast<double>(population.generation)});
  lineage.keep(std::move(population));
}

std::vector<std::uint64_t> kept_generations(const RunLineage& lineage) {
  std::vector<std::uint64_t> out;
  for (const KeptPopulation& p : lineage.generations()) out.push_back(p.generation());
  return out;
}

std::vector<double> recorded_generations(const RunLineage& lineage) {
  std::vector<double> out;
  for (const FitnessStatistics& r : lineage.records()) out.push_back(r.max);
  return out;
}

TEST(RunLineage, StartsEmptyWithAHallOfFameOfOne) {
  const RunLineage lineage(5, std::nullopt, std::nullopt);
  EXPECT_EQ(lineage.newest(), nullptr);
  EXPECT_TRUE(lineage.records().empty());
  EXPECT_EQ(lineage.hall_of_fame().capacity(), 1U);
  EXPECT_EQ(lineage.hall_of_fame().size(), 0U);
}

TEST(RunLineage, KeepsNewestFirstWithinBounds) {
  RunLineage lineage(2, 3, 10);
  add(lineage, population(4));
  EXPECT_EQ(*lineage.newest(), population(4));
  add(lineage, population(5));
  EXPECT_EQ(kept_generations(lineage), (std::vector<std::uint64_t>{5, 4}));
  add(lineage, population(6));
  EXPECT_EQ(kept_generations(lineage), (std::vector<std::uint64_t>{6, 5}));
  EXPECT_EQ(lineage.newest()->generation, 6U);
  add(lineage, population(7));
  EXPECT_EQ(recorded_generations(lineage), (std::vector<double>{7, 6, 5}));
  // The hall of fame saw population 4 although it is no longer kept.
  EXPECT_EQ(lineage.hall_of_fame().size(), 8U);
  EXPECT_EQ(lineage.hall_of_fame().copy().chromosomes.back(), (Chromosome{{4, 1}, 5.0}));
}

TEST(RunLineage, AbsentRecordBoundKeepsEveryRecord) {
  RunLineage lineage(1, std::nullopt, std::nullopt);
  for (std::uint64_t g = 0; g <= 9; ++g) add(lineage, population(g));
  EXPECT_EQ(lineage.records().size(), 10U);
  EXPECT_EQ(kept_generations(lineage), (std::vector<std::uint64_t>{9}));
}

TEST(RunLineage, ZeroBoundsKeepNothingButTheHallOfFameSeesEverything) {
  RunLineage lineage(0, 0, 2);
  add(lineage, population(0));
  add(lineage, population(8));
  EXPECT_EQ(lineage.newest(), nullptr);
  EXPECT_TRUE(lineage.generations().empty());
  EXPECT_TRUE(lineage.records().empty());
  EXPECT_EQ(lineage.hall_of_fame().copy().chromosomes, (Chromosomes{{{8, 2}, 10.0}, {{8, 1}, 9.0}}));
}

// Every population but the newest is packed, each at its own width, whatever width
// the one before it took.
TEST(RunLineage, OlderPopulationsArePackedAndReadBackUnchanged) {
  const std::vector<std::uint64_t> order{300, 5, 70000, 6, 5000000000, 7};
  RunLineage lineage(std::nullopt, std::nullopt, std::nullopt);
  for (const std::uint64_t g : order) add(lineage, population(g));
  ASSERT_EQ(lineage.generations().size(), order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    const KeptPopulation& kept = lineage.generations()[order.size() - 1 - k];
    const std::uint64_t g = order[k];
    const auto sum = [g](std::uint64_t second) { return static_cast<double>(g) + static_cast<double>(second); };
    EXPECT_EQ(kept.population(), (Population{{{{g, 1}, sum(1)}, {{g, 2}, sum(2)}}, g})) << "generation " << g;
    EXPECT_EQ(kept.packed(), k + 1 < order.size()) << "generation " << g;
  }
}

TEST(RunLineage, ToLineageMovesNewestFirstWithoutCopyingGenes) {
  RunLineage run(2, std::nullopt, 3);
  for (std::uint64_t g = 0; g <= 2; ++g) add(run, population(g));
  const Gene* newest_genes = run.newest()->chromosomes[0].genes.data();
  const Gene* best_genes = run.hall_of_fame().best()->genes.data();
  const HallOfFame hall_of_fame = run.hall_of_fame().copy();
  const std::vector<FitnessStatistics> records(run.records().begin(), run.records().end());

  const Lineage lineage = std::move(run).to_lineage();
  ASSERT_EQ(lineage.generations.size(), 2U);
  EXPECT_EQ(lineage.generations[0].generation(), 2U);
  EXPECT_EQ(lineage.generations[1].generation(), 1U);
  // The newest population is kept whole, the older one packed.
  ASSERT_NE(lineage.generations[0].whole(), nullptr);
  EXPECT_EQ(lineage.generations[0].whole()->chromosomes[0].genes.data(), newest_genes);
  EXPECT_TRUE(lineage.generations[1].packed());
  EXPECT_EQ(lineage.generations[1].population(), (Population{{{{1, 1}, 2.0}, {{1, 2}, 3.0}}, 1}));
  EXPECT_EQ(lineage.hall_of_fame.chromosomes[0].genes.data(), best_genes);
  EXPECT_EQ(lineage.records, records);
  EXPECT_EQ(lineage.hall_of_fame, hall_of_fame);
  EXPECT_EQ(lineage.n_generations, 2U);
  EXPECT_EQ(lineage.n_records, std::nullopt);
}

}  // namespace
}  // namespace genetic
