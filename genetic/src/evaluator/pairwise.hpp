#pragma once
// The plain loop over position pairs: every gene is checked against the matrix just
// before its cell is read, and every cell of the pairs is read. It is the reference
// the bit-parallel counting agrees with, and that counting's fallback for gene
// sequences it does not take (repeated genes, genes outside the matrix, short ones).
#include <cstdint>
#include <span>

#include "evaluator/fitness_terms.hpp"
#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"
#include "population/chromosome.hpp"

namespace genetic {

// F or L of `genes`; a Fault "Matrix index out of bounds." for a gene outside the
// matrix where it is checked, and a Fault for an empty sequence under the feedback kinds.
template <EvaluatorKind Kind>
std::uint64_t pairwise_count(const MarkMatrix& matrix, std::span<const Gene> genes);

template <EvaluatorKind Kind>
double pairwise_fitness(const MarkMatrix& matrix, std::uint64_t offset, std::span<const Gene> genes) {
  return fitness_from_count<Kind>(matrix.dimension(), pairwise_count<Kind>(matrix, genes), offset);
}

// The same, with the kind chosen at run time; a Fault for the Value kind.
double pairwise_fitness(EvaluatorKind kind, const MarkMatrix& matrix, std::uint64_t offset,
                        std::span<const Gene> genes);

inline constexpr const char* kEmptyFeedback = "cannot evaluate the feedback of an empty gene sequence";

}  // namespace genetic
