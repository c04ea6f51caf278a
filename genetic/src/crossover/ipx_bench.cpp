// Crossing a whole population of orderings, as one generation of a run does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "crossover/ipx.hpp"

namespace genetic {
namespace {

// Argument: genes per chromosome. 200 parents, every pair crossed.
void BM_IpxCrossPopulation(benchmark::State& state) {
  const auto n_genes = static_cast<std::uint64_t>(state.range(0));
  RandomSource rng = RandomSource::from_seed(7);
  Chromosomes parents(200);
  for (Chromosome& parent : parents) parent.genes = rng.sample_indices<Genes::allocator_type>(n_genes, n_genes);
  std::vector<std::size_t> picks(parents.size());
  std::iota(picks.begin(), picks.end(), std::size_t{0});
  const IpxCrossover ipx;
  for (auto _ : state) {
    Chromosomes offspring = ipx.cross_population(rng, parents, picks, parents.size(), 1.0);
    benchmark::DoNotOptimize(offspring.data());
  }
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_IpxCrossPopulation)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace genetic
