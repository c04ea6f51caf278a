#pragma once
// The generational loop: a first population, then select, cross and mutate until the
// generation limit; every population is evaluated, offered to the hall of fame,
// recorded and kept.
#include <cstdint>
#include <optional>

#include "crossover/crossover_operator.hpp"
#include "evaluator/evaluator_operator.hpp"
#include "generator/sequence_generator.hpp"
#include "lineage/lineage.hpp"
#include "mutator/swap.hpp"
#include "recorder/recorder_operator.hpp"
#include "selector/selector_operator.hpp"

namespace genetic {

// The settings of a run; the module shows them as SequencingSettings.
struct CoreSettings {
  std::uint64_t n_genes = 0;
  double p_crossover = 0.0;
  double p_mutation = 0.0;
  std::optional<std::uint64_t> n_chromosomes;
  std::optional<std::uint64_t> n_generations;
  std::optional<std::uint64_t> n_records;
  std::optional<std::uint64_t> n_hall_of_fame;

  bool operator==(const CoreSettings&) const = default;
};

// Called once between generations, before each selection, so that whoever started a run
// can end it early: `call` ends the run by throwing, and the run is then abandoned as a
// fault abandons it (everything it made destroyed, the exception passed on unchanged).
// A plain function pointer: with none set the check is one compare per generation.
struct BetweenGenerations {
  void (*call)(void* context) = nullptr;
  void* context = nullptr;
};

// Draws from the calling thread's source. Faults (absent n_chromosomes or n_generations,
// no kept population when n_generations is 0, and any operator's) end the run with nothing returned.
RunLineage run_sga(const CoreSettings& settings, const SequenceGenerator& generator, const EvaluatorOperator& evaluator,
                   const RecorderOperator& recorder, SelectorOperator& selector, const CrossoverOperator& crossover,
                   const SwapMutator& mutator, BetweenGenerations between = {});
// The same, drawing from a given source (tests pin the stream this way).
RunLineage run_sga(RandomSource& rng, const CoreSettings& settings, const SequenceGenerator& generator,
                   const EvaluatorOperator& evaluator, const RecorderOperator& recorder, SelectorOperator& selector,
                   const CrossoverOperator& crossover, const SwapMutator& mutator, BetweenGenerations between = {});

}  // namespace genetic
