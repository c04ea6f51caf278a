// Evaluation of whole populations of permutations, as a run does it, for each
// matrix kind and instruction-set variant, against the plain pairwise loop.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "evaluator/mark_matrix.hpp"
#include "evaluator/matrix_evaluator.hpp"
#include "evaluator/pairwise.hpp"
#include "random/random_source.hpp"

namespace genetic {
namespace {

constexpr std::uint64_t kPopulation = 200;

MarkMatrix random_matrix(RandomSource& rng, std::uint64_t dimension, double density) {
  std::vector<double> cells(dimension * dimension);
  for (double& cell : cells) cell = rng.uniform_f64() < density ? 1.0 : 0.0;
  return MarkMatrix(std::move(cells), dimension);
}

Chromosomes random_permutations(RandomSource& rng, std::uint64_t dimension) {
  Chromosomes chromosomes(kPopulation);
  for (Chromosome& chromosome : chromosomes) chromosome.genes = rng.sample_indices<Genes::allocator_type>(dimension, dimension);
  return chromosomes;
}

// Arguments: kind, dimension, density in thousandths, variant (-1: the pairwise loop).
void BM_EvaluatePopulation(benchmark::State& state) {
  const auto kind = static_cast<EvaluatorKind>(state.range(0));
  const auto dimension = static_cast<std::uint64_t>(state.range(1));
  const double density = static_cast<double>(state.range(2)) / 1000.0;
  const auto variant = state.range(3);
  if (variant >= 0 && !popcount_isa_supported(static_cast<PopcountIsa>(variant))) {
    state.SkipWithError("variant not supported by this processor");
    return;
  }
  RandomSource rng = RandomSource::from_seed(20240601);
  MarkMatrix matrix = random_matrix(rng, dimension, density);
  Chromosomes population = random_permutations(rng, dimension);

  if (variant < 0) {
    for (auto _ : state) {
      for (Chromosome& chromosome : population) {
        chromosome.fitness = pairwise_fitness(kind, matrix, 0, chromosome.genes);
      }
      benchmark::DoNotOptimize(population.data());
      benchmark::ClobberMemory();
    }
  } else {
    const auto evaluator = make_matrix_evaluator(kind, matrix, 0, static_cast<PopcountIsa>(variant));
    for (auto _ : state) {
      for (Chromosome& chromosome : population) chromosome.fitness.reset();
      evaluator->evaluate_population(population);
      benchmark::DoNotOptimize(population.data());
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPopulation));
}

constexpr int kMarks = static_cast<int>(EvaluatorKind::FeedbackMarks);
constexpr int kDistance = static_cast<int>(EvaluatorKind::FeedbackDistance);
constexpr int kLowerLeft = static_cast<int>(EvaluatorKind::LowerLeftDistance);

void Arguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"kind", "D", "density_permille", "variant"});
  for (const int kind : {kMarks, kDistance, kLowerLeft}) {
    for (const int variant : {-1, 0, 1, 2}) b->Args({kind, 200, 100, variant});
  }
  for (const int density : {10, 500}) {
    for (const int variant : {-1, 0, 1, 2}) b->Args({kMarks, 1000, density, variant});
  }
}

BENCHMARK(BM_EvaluatePopulation)->Apply(Arguments)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace genetic
