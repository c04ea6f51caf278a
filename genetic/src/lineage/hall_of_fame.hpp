#pragma once
// The best chromosomes of a whole run, best first, no two with the same genes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_set>

#include "population/chromosome.hpp"

namespace genetic {

// Keyed with bits chosen once per process, so set order is not fixed between runs.
struct GenesHash {
  std::size_t operator()(const Genes& genes) const noexcept;
};

using GeneSet = std::unordered_set<Genes, GenesHash>;

struct HallOfFame {
  Chromosomes chromosomes;  // best first
  GeneSet uniques;          // the gene sequences of the members
  std::uint64_t capacity = 1;

  // Offers every chromosome, in order; a Fault for a missing fitness.
  void update(std::span<const Chromosome> population);

  bool operator==(const HallOfFame&) const = default;
};

}  // namespace genetic
