#pragma once
// The value types every operator consumes and produces.
#include <cstdint>
#include <optional>
#include <vector>

#include "population/gene_memory.hpp"

namespace genetic {

using Gene = std::uint64_t;
using Genes = std::vector<Gene, GeneAllocator<Gene>>;

struct Chromosome {
  Genes genes;
  // Absent until an evaluator fills it; a present value caches the evaluation of
  // `genes`, so whoever changes the genes must reset it.
  std::optional<double> fitness;

  // Genes first, then fitness: absent equals absent, floats compare as IEEE values.
  bool operator==(const Chromosome&) const = default;
};

using Chromosomes = std::vector<Chromosome>;

struct Population {
  Chromosomes chromosomes;
  std::uint64_t generation = 0;

  bool operator==(const Population&) const = default;
};

// A count argument of the population operations: absent means the input's length.
using Count = std::optional<std::uint64_t>;

}  // namespace genetic
