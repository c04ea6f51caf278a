#include "run/sga.hpp"

#include <utility>
#include <vector>

#include "fault.hpp"

namespace genetic {

RunLineage run_sga(const CoreSettings& settings, const SequenceGenerator& generator, const EvaluatorOperator& evaluator,
                   const RecorderOperator& recorder, SelectorOperator& selector, const CrossoverOperator& crossover,
                   const SwapMutator& mutator, BetweenGenerations between) {
  // One handle for the whole run: every draw comes from this thread's stream.
  const auto source = thread_random_source();
  return run_sga(*source, settings, generator, evaluator, recorder, selector, crossover, mutator, between);
}

RunLineage run_sga(RandomSource& rng, const CoreSettings& settings, const SequenceGenerator& generator,
                   const EvaluatorOperator& evaluator, const RecorderOperator& recorder, SelectorOperator& selector,
                   const CrossoverOperator& crossover, const SwapMutator& mutator, BetweenGenerations between) {
  // Both counts are needed before anything is made.
  if (!settings.n_chromosomes) fault("the run has no population size: n_chromosomes is not set");
  if (!settings.n_generations) fault("the run has no generation limit: n_generations is not set");
  const std::uint64_t n = *settings.n_chromosomes;
  const std::uint64_t limit = *settings.n_generations;

  RunLineage lineage(settings.n_generations, settings.n_records, settings.n_hall_of_fame);
  Population population{.chromosomes = generator.generate_population(rng, n, settings.n_genes), .generation = 0};
  // Each population, the generated first one included, is evaluated, offered to the
  // hall of fame, recorded and kept; the next one is bred from the newest kept.
  for (;;) {
    evaluator.evaluate_population(population.chromosomes);
    lineage.offer(population.chromosomes);
    lineage.record(recorder.record(population));
    lineage.keep(std::move(population));

    const Population* newest = lineage.newest();
    if (newest == nullptr) fault("the lineage keeps no population to select from: n_generations is 0");
    if (newest->generation >= limit) return lineage;
    // Only after the stop test: a finished run is never thrown away.
    if (between.call != nullptr) between.call(between.context);
    // The parents are read where they are kept, so only those passed on uncrossed are
    // copied; the offspring are a temporary and move on into the next population.
    const std::vector<std::size_t> parents = selector.select_indices(rng, newest->chromosomes, n);
    Chromosomes offspring = crossover.cross_population(rng, newest->chromosomes, parents, n, settings.p_crossover);
    population = Population{.chromosomes = mutator.mutate_population(rng, std::move(offspring), n, settings.p_mutation),
                            .generation = newest->generation + 1};
  }
}

}  // namespace genetic
