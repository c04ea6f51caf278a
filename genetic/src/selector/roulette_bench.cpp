#include <benchmark/benchmark.h>

#include "selector/roulette.hpp"

namespace genetic {
namespace {

Chromosomes population_of(std::int64_t n, double sign) {
  Chromosomes out;
  for (std::int64_t k = 0; k < n; ++k) out.push_back(Chromosome{{static_cast<Gene>(k)}, sign * (1.0 + k % 7)});
  return out;
}

// One generation's selection: table rebuilt, then n picks. Non-negative fitness
// takes the binary search; negative fitness keeps the linear scan.
void run_select(benchmark::State& state, double sign) {
  const auto population = population_of(state.range(0), sign);
  SelectorRoulette roulette;
  auto rng = RandomSource::from_seed(1);
  for (auto _ : state) benchmark::DoNotOptimize(roulette.select(rng, population, std::nullopt));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RouletteSelectSorted(benchmark::State& state) { run_select(state, 1.0); }
void BM_RouletteSelectScan(benchmark::State& state) { run_select(state, -1.0); }

BENCHMARK(BM_RouletteSelectSorted)->Arg(100)->Arg(1000);
BENCHMARK(BM_RouletteSelectScan)->Arg(100)->Arg(1000);

}  // namespace
}  // namespace genetic
