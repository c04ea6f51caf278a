#pragma once
// Where the data of a run resides: the kept populations and records, newest first,
// and the hall of fame of every population seen.
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "evaluator/evaluator_operator.hpp"
#include "lineage/hall_of_fame.hpp"
#include "lineage/kept_population.hpp"
#include "population/chromosome.hpp"
#include "recorder/fitness_statistics.hpp"
#include "recorder/recorder_operator.hpp"

namespace genetic {

// The finished form callers hold: plain lists, no bounds enforced.
struct Lineage {
  std::vector<KeptPopulation> generations;  // newest first when made by a run
  std::vector<FitnessStatistics> records;
  HallOfFame hall_of_fame;
  std::optional<std::uint64_t> n_generations;
  std::optional<std::uint64_t> n_records;

  bool operator==(const Lineage&) const = default;
};

// The working form a run feeds, one step per population.
class RunLineage {
 public:
  // Steps the first population before returning.
  RunLineage(Population first, const EvaluatorOperator& evaluator, const RecorderOperator& recorder,
             std::optional<std::uint64_t> n_generations, std::optional<std::uint64_t> n_records,
             std::optional<std::uint64_t> n_hall_of_fame);

  // Evaluate, offer to the hall of fame, record, keep: in that order.
  void step(Population population, const EvaluatorOperator& evaluator, const RecorderOperator& recorder);

  // The most recently stepped population, or null when none is kept.
  const Population* newest() const noexcept;

  // Newest first; all but the newest are packed.
  const std::deque<KeptPopulation>& generations() const noexcept { return generations_; }
  const std::deque<FitnessStatistics>& records() const noexcept { return records_; }
  const HallOfFame& hall_of_fame() const noexcept { return hall_of_fame_; }

  // Moves everything out; no gene list is copied.
  Lineage to_lineage() &&;

 private:
  std::optional<std::uint64_t> n_generations_;
  std::optional<std::uint64_t> n_records_;
  std::deque<KeptPopulation> generations_;
  std::deque<FitnessStatistics> records_;
  HallOfFame hall_of_fame_;
  unsigned pack_width_ = 1;  // bytes a gene took in the population packed last
};

}  // namespace genetic
