#pragma once
// Where the data of a run resides: the kept populations and records, newest first,
// and the hall of fame of every population seen.
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "lineage/hall_of_fame.hpp"
#include "lineage/kept_population.hpp"
#include "population/chromosome.hpp"
#include "recorder/fitness_statistics.hpp"

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

// The working form a run fills, one population at a time: it keeps what it is given
// within its bounds and evaluates nothing itself.
class RunLineage {
 public:
  RunLineage(std::optional<std::uint64_t> n_generations, std::optional<std::uint64_t> n_records,
             std::optional<std::uint64_t> n_hall_of_fame);

  // Offers every chromosome to the hall of fame, in order; a Fault for a missing fitness.
  void offer(std::span<const Chromosome> chromosomes) { hall_of_fame_.update(chromosomes); }
  // Keeps the record as the newest, dropping the oldest beyond n_records.
  void record(FitnessStatistics record);
  // Keeps the population as the newest, dropping the oldest beyond n_generations.
  void keep(Population population);

  // The most recently kept population, or null when none is kept.
  const Population* newest() const noexcept;

  // Newest first; all but the newest are packed.
  const std::deque<KeptPopulation>& generations() const noexcept { return generations_; }
  const std::deque<FitnessStatistics>& records() const noexcept { return records_; }
  const RunHallOfFame& hall_of_fame() const noexcept { return hall_of_fame_; }

  // Moves everything out; no gene list is copied.
  Lineage to_lineage() &&;

 private:
  std::optional<std::uint64_t> n_generations_;
  std::optional<std::uint64_t> n_records_;
  std::deque<KeptPopulation> generations_;
  std::deque<FitnessStatistics> records_;
  RunHallOfFame hall_of_fame_;
  unsigned pack_width_ = 1;  // bytes a gene took in the population packed last
};

}  // namespace genetic
