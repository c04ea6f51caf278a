// Evaluation of whole populations of orderings, as a run does it, for each matrix kind
// and way of counting, over sizes and densities around where the walk over the marks
// overtakes the bit lines.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "evaluator/mark_matrix.hpp"
#include "evaluator/matrix_evaluator.hpp"
#include "random/random_source.hpp"

namespace genetic {
namespace {

constexpr std::uint64_t kPopulation = 100;

std::shared_ptr<const MarkMatrix> random_matrix(RandomSource& rng, std::uint64_t dimension, double density) {
  std::vector<double> cells(dimension * dimension);
  for (double& cell : cells) cell = rng.uniform_f64() < density ? 1.0 : 0.0;
  return std::make_shared<const MarkMatrix>(std::move(cells), dimension);
}

// Arguments: kind, dimension, density in ten-thousandths, counting (-1: the cheaper).
void BM_EvaluatePopulation(benchmark::State& state) {
  const auto kind = static_cast<EvaluatorKind>(state.range(0));
  const auto dimension = static_cast<std::uint64_t>(state.range(1));
  const double density = static_cast<double>(state.range(2)) / 10000.0;
  RandomSource rng = RandomSource::from_seed(20240601);
  const auto matrix = random_matrix(rng, dimension, density);
  Chromosomes population(kPopulation);
  for (Chromosome& c : population) c.genes = rng.sample_indices<Genes::allocator_type>(dimension, dimension);
  const auto evaluator = make_matrix_evaluator(
      kind, matrix, 0, state.range(3) < 0 ? std::nullopt : std::optional(static_cast<Counting>(state.range(3))));
  for (auto _ : state) {
    for (Chromosome& chromosome : population) chromosome.fitness.reset();
    evaluator->evaluate_population(population);
    benchmark::DoNotOptimize(population.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPopulation));
}

constexpr int kMarks = static_cast<int>(EvaluatorKind::FeedbackMarks);
constexpr int kDistance = static_cast<int>(EvaluatorKind::FeedbackDistance);
constexpr int kLowerLeft = static_cast<int>(EvaluatorKind::LowerLeftDistance);

void Arguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"kind", "D", "density_e4", "counting"});
  for (const int kind : {kMarks, kDistance, kLowerLeft}) {
    for (const int counting : {0, 1}) b->Args({kind, 200, 1000, counting});
  }
  for (const int dimension : {1000, 4000}) {
    for (const int density : {10, 30, 100, 1000}) {
      for (const int counting : {0, 1}) {
        b->Args({kMarks, dimension, density, counting});
        b->Args({kDistance, dimension, density, counting});
      }
    }
  }
}

BENCHMARK(BM_EvaluatePopulation)->Apply(Arguments)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace genetic
