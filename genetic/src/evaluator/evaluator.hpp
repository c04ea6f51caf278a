#pragma once
// Evaluator options as callers give them, and the operators a run makes of them.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "evaluator/cells.hpp"
#include "evaluator/evaluator_operator.hpp"
#include "kinds.hpp"

namespace genetic {

struct EvaluatorMatrix {
  EvaluatorKind kind = EvaluatorKind::FeedbackDistance;
  Cells matrix;  // cell (r, c) is element r * D + c
  std::optional<std::uint64_t> offset;

  bool operator==(const EvaluatorMatrix&) const = default;
};

struct EvaluatorValue {
  double value = 0.0;

  bool operator==(const EvaluatorValue&) const = default;
};

// ConfigError "unrecognized evaluator options" for kind Value, or the matrix-size
// message when the matrix is not square.
std::unique_ptr<EvaluatorOperator> make_evaluator(const EvaluatorMatrix& options);
std::unique_ptr<EvaluatorOperator> make_evaluator(const EvaluatorValue& options);

}  // namespace genetic
