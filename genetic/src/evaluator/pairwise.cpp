#include "evaluator/pairwise.hpp"

#include "fault.hpp"

namespace genetic {
namespace {

void check_index(Gene gene, std::uint64_t bound) {
  if (gene >= bound) [[unlikely]] fault(kIndexOutOfBounds);
}

}  // namespace

template <EvaluatorKind Kind>
std::uint64_t pairwise_count(const MarkMatrix& matrix, std::span<const Gene> genes) {
  static_assert(is_matrix_kind<Kind>);
  // Rows and columns are both counted by the dimension; they are checked separately
  // because a gene is read as a row in one role and as a column in the other.
  const std::uint64_t rows = matrix.dimension();
  const std::uint64_t columns = matrix.dimension();
  const std::size_t n = genes.size();
  std::uint64_t count = 0;
  if constexpr (Kind == EvaluatorKind::LowerLeftDistance) {
    for (std::size_t i = 0; i < n; ++i) {
      check_index(genes[i], rows);
      const std::uint64_t from_bottom = n - 1 - i;
      for (std::size_t j = 0; j < n; ++j) {
        check_index(genes[j], columns);
        // Multiplied in rather than branched on: dense random marks defeat a branch predictor.
        count += (from_bottom + j) * matrix.mark(genes[i], genes[j]);
      }
    }
  } else {
    if (n == 0) fault(kEmptyFeedback);
    for (std::size_t i = 0; i + 1 < n; ++i) {
      check_index(genes[i], rows);
      for (std::size_t j = i + 1; j < n; ++j) {
        check_index(genes[j], columns);
        const std::uint64_t mark = matrix.mark(genes[i], genes[j]);
        if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
          count += mark;
        } else {
          count += (j - i) * mark;
        }
      }
    }
  }
  return count;
}

template std::uint64_t pairwise_count<EvaluatorKind::FeedbackMarks>(const MarkMatrix&, std::span<const Gene>);
template std::uint64_t pairwise_count<EvaluatorKind::FeedbackDistance>(const MarkMatrix&, std::span<const Gene>);
template std::uint64_t pairwise_count<EvaluatorKind::LowerLeftDistance>(const MarkMatrix&, std::span<const Gene>);

double pairwise_fitness(EvaluatorKind kind, const MarkMatrix& matrix, std::uint64_t offset,
                        std::span<const Gene> genes) {
  switch (kind) {
    case EvaluatorKind::FeedbackMarks:
      return pairwise_fitness<EvaluatorKind::FeedbackMarks>(matrix, offset, genes);
    case EvaluatorKind::FeedbackDistance:
      return pairwise_fitness<EvaluatorKind::FeedbackDistance>(matrix, offset, genes);
    case EvaluatorKind::LowerLeftDistance:
      return pairwise_fitness<EvaluatorKind::LowerLeftDistance>(matrix, offset, genes);
    case EvaluatorKind::Value:
      break;
  }
  fault("the Value kind reads no matrix");
}

}  // namespace genetic
