#pragma once
// How each matrix kind turns its count into a fitness. Counting and the final sum are
// unsigned 64-bit arithmetic, modulo 2^64; the float appears only at the very end.
#include <cstdint>

#include "kinds.hpp"

namespace genetic {

template <EvaluatorKind Kind>
constexpr bool is_matrix_kind = Kind == EvaluatorKind::FeedbackMarks || Kind == EvaluatorKind::FeedbackDistance ||
                                Kind == EvaluatorKind::LowerLeftDistance;

// `count` is F for the feedback kinds (marks, or their position distances, above the
// diagonal) and L for LowerLeftDistance.
template <EvaluatorKind Kind>
constexpr double fitness_from_count(std::uint64_t dimension, std::uint64_t count, std::uint64_t offset) noexcept {
  static_assert(is_matrix_kind<Kind>);
  const std::uint64_t d = dimension;
  if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
    // The most marks an ordering of d genes can leave above the diagonal.
    return static_cast<double>(d * (d - 1) / 2 - count + offset);
  } else if constexpr (Kind == EvaluatorKind::FeedbackDistance) {
    // The sum of j - i over all position pairs i < j of d genes; product first, then / 6.
    return static_cast<double>((d * d - 1) * d / 6 - count + offset);
  } else {
    return static_cast<double>(count + offset);
  }
}

}  // namespace genetic
