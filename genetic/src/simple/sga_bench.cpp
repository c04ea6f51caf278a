// A whole run as sequence_sga makes it for a typical sequencing problem: 200 genes,
// a sparse 0/1 matrix, roulette selection, IPX and swap mutation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "crossover/crossover.hpp"
#include "evaluator/evaluator.hpp"
#include "recorder_options.hpp"
#include "selector/selector.hpp"
#include "simple/sga.hpp"

namespace genetic {
namespace {

constexpr std::uint64_t kGenes = 200;

std::vector<double> random_marks(RandomSource& rng, std::uint64_t dimension, double density) {
  std::vector<double> cells(dimension * dimension);
  for (double& cell : cells) cell = rng.uniform_f64() < density ? 1.0 : 0.0;
  return cells;
}

void BM_RunSga(benchmark::State& state) {
  RandomSource setup = RandomSource::from_seed(20240601);
  const auto evaluator =
      make_evaluator(EvaluatorMatrix{.kind = EvaluatorKind::FeedbackMarks,
                                     .matrix = random_marks(setup, kGenes, 0.1),
                                     .offset = std::nullopt});
  const auto recorder = make_recorder(RecorderKind::FitnessStatistics);
  const auto selector = make_selector(SelectorKind::Roulette);
  const auto crossover = make_crossover(CrossoverKind::IPX);
  const MutatorSwap mutator{.p_swap = 1.0 / static_cast<double>(kGenes)};
  const SequenceGenerator generator;
  const CoreSettings settings{.n_genes = kGenes,
                              .p_crossover = 0.9,
                              .p_mutation = 0.2,
                              .n_chromosomes = 200,
                              .n_generations = 100,
                              .n_records = std::nullopt,
                              .n_hall_of_fame = std::nullopt};
  std::uint64_t seed = 1;
  for (auto _ : state) {
    RandomSource rng = RandomSource::from_seed(seed++);
    RunLineage lineage = run_sga(rng, settings, generator, *evaluator, *recorder, *selector, *crossover, mutator);
    benchmark::DoNotOptimize(lineage.hall_of_fame().chromosomes.data());
  }
  // Chromosomes made per second, all generations counted.
  state.SetItemsProcessed(state.iterations() * 200 * 101);
}
BENCHMARK(BM_RunSga)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace genetic
