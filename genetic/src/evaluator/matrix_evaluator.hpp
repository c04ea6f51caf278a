#pragma once
// The run-time evaluators of the three matrix kinds.
#include <cstdint>
#include <memory>
#include <optional>

#include "evaluator/evaluator_operator.hpp"
#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"

namespace genetic {

// How an evaluator counts a chromosome's marks: ANDing bit lines, about n * words()
// word operations whatever the density, or walking the marks of its genes' columns,
// about n plus the marks they hold. Both give the same fitness, bit for bit.
enum class Counting : std::uint8_t { Lines, Marks };

// The cheaper counting of `kind` over `matrix` for whole orderings, on this processor.
Counting cheaper_counting(EvaluatorKind kind, const MarkMatrix& matrix) noexcept;

// An evaluator of a matrix kind (a Fault for Value) over `matrix`, adding `offset`,
// counting the cheaper way unless told. It keeps scratch space for its counting, so
// one evaluator serves one thread at a time.
std::unique_ptr<EvaluatorOperator> make_matrix_evaluator(EvaluatorKind kind, std::shared_ptr<const MarkMatrix> matrix,
                                                         std::uint64_t offset,
                                                         std::optional<Counting> counting = std::nullopt);

inline constexpr const char* kEmptyFeedback = "cannot evaluate the feedback of an empty gene sequence";

}  // namespace genetic
