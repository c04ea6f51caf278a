#include <benchmark/benchmark.h>

#include "selector/roulette.hpp"

namespace genetic {
namespace {

// Positive fitness values; a slightly negative first one forces the linear scan
// over an otherwise identical, still increasing table.
Chromosomes population_of(std::int64_t n, bool negative_first) {
  Chromosomes out;
  for (std::int64_t k = 0; k < n; ++k) out.push_back(Chromosome{{static_cast<Gene>(k)}, 1.0 + k % 7});
  if (negative_first) out.front().fitness = -0.5;
  return out;
}

// One generation's selection: table rebuilt, then n picks.
void run_select(benchmark::State& state, bool negative_first) {
  const auto population = population_of(state.range(0), negative_first);
  RouletteSelector roulette;
  auto rng = RandomSource::from_seed(1);
  for (auto _ : state) benchmark::DoNotOptimize(roulette.select_indices(rng, population, std::nullopt));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RouletteSelectSorted(benchmark::State& state) { run_select(state, false); }
void BM_RouletteSelectScan(benchmark::State& state) { run_select(state, true); }

BENCHMARK(BM_RouletteSelectSorted)->Arg(100)->Arg(1000);
BENCHMARK(BM_RouletteSelectScan)->Arg(100)->Arg(1000);

}  // namespace
}  // namespace genetic
