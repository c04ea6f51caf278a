#pragma once
// The best chromosomes of a whole run, best first, no two with the same genes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <unordered_set>

#include "population/chromosome.hpp"

namespace genetic {

// Keyed with bits chosen once per process, so set order is not fixed between runs.
// Deliberately not noexcept: the standard library then keeps each element's hash beside
// it, so a growing set never hashes a sequence again, and a lookup reads a stored
// sequence only when the hashes are equal. A large hall of fame grows its set often.
struct GenesHash {
  std::size_t operator()(const Genes& genes) const;
};

using GeneSet = std::unordered_set<Genes, GenesHash>;

// The finished form callers hold: a plain container, whatever its contents.
struct HallOfFame {
  Chromosomes chromosomes;  // best first
  GeneSet uniques;          // the gene sequences of the members
  std::uint64_t capacity = 1;

  bool operator==(const HallOfFame&) const = default;
};

// The working form a run fills. A candidate is admitted at the place a backward scan
// from the worst member would give it (after every member it does not beat strictly),
// if that place is within the capacity and no member has its genes; the member pushed
// beyond the capacity leaves. Each offer costs O(log size), however many are kept.
class RunHallOfFame {
 public:
  explicit RunHallOfFame(std::uint64_t capacity) : capacity_(capacity) {}

  // Offers every chromosome, in order; a Fault for a missing fitness.
  void update(std::span<const Chromosome> population);

  std::uint64_t capacity() const noexcept { return capacity_; }
  std::size_t size() const noexcept { return settled_.size() + ranked_size_; }
  // The first member, or null when there is none.
  const Chromosome* best() const noexcept;

  // The members in order, copied, for looking at a run in progress.
  HallOfFame copy() const;
  // Moves the members out; no gene list is copied.
  HallOfFame to_hall_of_fame() &&;

 private:
  void offer(const Chromosome& candidate);
  // Moves every ranked member, in order, to the end of `out`.
  void drain_ranked(Chromosomes& out);

  // Members up to the last one whose fitness is NaN: no comparison with NaN is true, so
  // no candidate is ever placed before it, and none of these moves or leaves again.
  Chromosomes settled_;
  // The members after them, none with a NaN fitness: one list per fitness value (0.0 and
  // -0.0 share one), best value first, each list in arrival order, so a newcomer goes
  // after the members it equals, which is the tie rule. Fitness values repeat a great
  // deal in a run, so the map stays small and an offer mostly meets cached nodes.
  std::map<double, Chromosomes, std::greater<>> ranked_;
  std::size_t ranked_size_ = 0;
  GeneSet uniques_;
  std::uint64_t capacity_;
};

}  // namespace genetic
