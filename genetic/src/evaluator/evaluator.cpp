#include "evaluator/evaluator.hpp"

#include <string>
#include <utility>

#include "evaluator/mark_matrix.hpp"
#include "evaluator/matrix_evaluator.hpp"
#include "fault.hpp"

namespace genetic {
namespace {

class ValueEvaluator final : public EvaluatorOperator {
 public:
  explicit ValueEvaluator(double value) : value_(value) {}

  double fitness_of(std::span<const Gene>) const override { return value_; }
  void evaluate_population(std::span<Chromosome> chromosomes) const override {
    for (Chromosome& chromosome : chromosomes) {
      if (!chromosome.fitness) chromosome.fitness = value_;
    }
  }

 private:
  double value_;
};

[[gnu::cold]] std::string matrix_size_message(std::uint64_t dimension, std::uint64_t length) {
  const std::string d = std::to_string(dimension);
  return "Vector should be of size dimensions^2. " + d + "*" + d + " != " + std::to_string(length);
}

}  // namespace

std::unique_ptr<EvaluatorOperator> make_evaluator(const EvaluatorMatrix& options) {
  switch (options.kind) {
    case EvaluatorKind::FeedbackDistance:
    case EvaluatorKind::FeedbackMarks:
    case EvaluatorKind::LowerLeftDistance:
      break;
    default:
      throw ConfigError("unrecognized evaluator options");
  }
  std::shared_ptr<const MarkMatrix> marks = options.matrix.marks();
  if (!marks) {
    // The refusal names the truncated root, not a corrected one.
    const std::uint64_t length = options.matrix.size();
    throw ConfigError(matrix_size_message(matrix_dimension(length), length));
  }
  return make_matrix_evaluator(options.kind, std::move(marks), options.offset.value_or(0));
}

std::unique_ptr<EvaluatorOperator> make_evaluator(const EvaluatorValue& options) {
  return std::make_unique<ValueEvaluator>(options.value);
}

}  // namespace genetic
