// Whole runs as sequence_sga makes them for typical sequencing problems: 200 and 1000
// genes, a sparse 0/1 matrix, roulette selection, IPX and swap mutation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "crossover/crossover.hpp"
#include "evaluator/evaluator.hpp"
#include "recorder/recorder.hpp"
#include "run/sga.hpp"
#include "selector/selector.hpp"

namespace genetic {
namespace {

std::vector<double> random_marks(RandomSource& rng, std::uint64_t dimension, double density) {
  std::vector<double> cells(dimension * dimension);
  for (double& cell : cells) cell = rng.uniform_f64() < density ? 1.0 : 0.0;
  return cells;
}

// Arguments: genes, chromosomes, generations; density 0.1.
void BM_RunSga(benchmark::State& state) {
  const auto genes = static_cast<std::uint64_t>(state.range(0));
  const auto chromosomes = static_cast<std::uint64_t>(state.range(1));
  const auto generations = static_cast<std::uint64_t>(state.range(2));
  RandomSource setup = RandomSource::from_seed(20240601);
  const auto evaluator = make_evaluator(EvaluatorMatrix{
      .kind = EvaluatorKind::FeedbackMarks, .matrix = random_marks(setup, genes, 0.1), .offset = std::nullopt});
  const auto recorder = make_recorder(RecorderKind::FitnessStatistics);
  const auto selector = make_selector(SelectorKind::Roulette);
  const auto crossover = make_crossover(CrossoverKind::IPX);
  const SwapMutator mutator{1.0 / static_cast<double>(genes)};
  const SequenceGenerator generator;
  const CoreSettings settings{.n_genes = genes,
                              .p_crossover = 0.9,
                              .p_mutation = 0.2,
                              .n_chromosomes = chromosomes,
                              .n_generations = generations,
                              .n_records = std::nullopt,
                              .n_hall_of_fame = std::nullopt};
  std::uint64_t seed = 1;
  for (auto _ : state) {
    RandomSource rng = RandomSource::from_seed(seed++);
    RunLineage lineage = run_sga(rng, settings, generator, *evaluator, *recorder, *selector, *crossover, mutator);
    benchmark::DoNotOptimize(lineage.hall_of_fame().best());
  }
  // Chromosomes made per second, all generations counted.
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(chromosomes * (generations + 1)));
}
BENCHMARK(BM_RunSga)
    ->ArgNames({"genes", "chromosomes", "generations"})
    ->Args({200, 200, 100})
    ->Args({1000, 100, 20})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace genetic
