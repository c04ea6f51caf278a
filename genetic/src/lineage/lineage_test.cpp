#include "lineage/lineage.hpp"

#include <gtest/gtest.h>

#include "lineage/lineage_test_doubles.hpp"

namespace genetic {
namespace {

using testing_doubles::SumEvaluator;
using testing_doubles::SummaryRecorder;

// Generation g holds chromosomes {g, 1} and {g, 2}, without fitness.
Population population(std::uint64_t generation) {
  return Population{.chromosomes = {{{generation, 1}, std::nullopt}, {{generation, 2}, std::nullopt}},
                    .generation = generation};
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

TEST(RunLineage, CreationStepsTheFirstPopulation) {
  const SumEvaluator evaluator;
  const SummaryRecorder recorder;
  const RunLineage lineage(population(3), evaluator, recorder, 5, std::nullopt, std::nullopt);
  ASSERT_NE(lineage.newest(), nullptr);
  EXPECT_EQ(*lineage.newest(), (Population{{{{3, 1}, 4.0}, {{3, 2}, 5.0}}, 3}));
  ASSERT_EQ(lineage.records().size(), 1U);
  EXPECT_EQ(lineage.records()[0].size, 2U);
  EXPECT_EQ(lineage.records()[0].min, 0.0);  // evaluated before it was recorded
  EXPECT_EQ(lineage.records()[0].sum, 9.0);
  // The hall of fame defaults to one member: the best.
  EXPECT_EQ(lineage.hall_of_fame().capacity, 1U);
  EXPECT_EQ(lineage.hall_of_fame().chromosomes, (Chromosomes{{{3, 2}, 5.0}}));
}

TEST(RunLineage, StepKeepsNewestFirstWithinBounds) {
  const SumEvaluator evaluator;
  const SummaryRecorder recorder;
  RunLineage lineage(population(4), evaluator, recorder, 2, 3, 10);
  lineage.step(population(5), evaluator, recorder);
  EXPECT_EQ(kept_generations(lineage), (std::vector<std::uint64_t>{5, 4}));
  lineage.step(population(6), evaluator, recorder);
  EXPECT_EQ(kept_generations(lineage), (std::vector<std::uint64_t>{6, 5}));
  EXPECT_EQ(lineage.newest()->generation, 6U);
  lineage.step(population(7), evaluator, recorder);
  EXPECT_EQ(recorded_generations(lineage), (std::vector<double>{7, 6, 5}));
  // The hall of fame saw population 4 although it is no longer kept.
  EXPECT_EQ(lineage.hall_of_fame().chromosomes.size(), 8U);
  EXPECT_EQ(lineage.hall_of_fame().chromosomes.back(), (Chromosome{{4, 1}, 5.0}));
}

TEST(RunLineage, AbsentRecordBoundKeepsEveryRecord) {
  const SumEvaluator evaluator;
  const SummaryRecorder recorder;
  RunLineage lineage(population(0), evaluator, recorder, 1, std::nullopt, std::nullopt);
  for (std::uint64_t g = 1; g <= 9; ++g) lineage.step(population(g), evaluator, recorder);
  EXPECT_EQ(lineage.records().size(), 10U);
  EXPECT_EQ(kept_generations(lineage), (std::vector<std::uint64_t>{9}));
}

TEST(RunLineage, ZeroBoundsKeepNothingButStillEvaluateAndOffer) {
  const SumEvaluator evaluator;
  const SummaryRecorder recorder;
  RunLineage lineage(population(0), evaluator, recorder, 0, 0, 2);
  lineage.step(population(8), evaluator, recorder);
  EXPECT_EQ(lineage.newest(), nullptr);
  EXPECT_TRUE(lineage.generations().empty());
  EXPECT_TRUE(lineage.records().empty());
  EXPECT_EQ(recorder.recorded, 2U);
  EXPECT_EQ(evaluator.computed, 4U);
  EXPECT_EQ(lineage.hall_of_fame().chromosomes, (Chromosomes{{{8, 2}, 10.0}, {{8, 1}, 9.0}}));
}

TEST(RunLineage, ExistingFitnessIsNotRecomputed) {
  const SumEvaluator evaluator;
  const SummaryRecorder recorder;
  Population first = population(0);
  first.chromosomes[0].fitness = 100.0;
  const RunLineage lineage(std::move(first), evaluator, recorder, 1, std::nullopt, std::nullopt);
  EXPECT_EQ(evaluator.computed, 1U);
  EXPECT_EQ(lineage.newest()->chromosomes[0].fitness, 100.0);
}

// Every population but the newest is packed, each at its own width, whatever width
// the one before it took.
TEST(RunLineage, OlderPopulationsArePackedAndReadBackUnchanged) {
  const SumEvaluator evaluator;
  const SummaryRecorder recorder;
  const std::vector<std::uint64_t> order{300, 5, 70000, 6, 5000000000, 7};
  RunLineage lineage(population(order[0]), evaluator, recorder, std::nullopt, std::nullopt, std::nullopt);
  for (std::size_t k = 1; k < order.size(); ++k) lineage.step(population(order[k]), evaluator, recorder);
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
  const SumEvaluator evaluator;
  const SummaryRecorder recorder;
  RunLineage run(population(0), evaluator, recorder, 2, std::nullopt, 3);
  run.step(population(1), evaluator, recorder);
  run.step(population(2), evaluator, recorder);
  const Gene* newest_genes = run.newest()->chromosomes[0].genes.data();
  const Gene* best_genes = run.hall_of_fame().chromosomes[0].genes.data();
  const HallOfFame hall_of_fame = run.hall_of_fame();
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
