#include "evaluator/matrix_evaluator.hpp"

#include <algorithm>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "evaluator/fitness_terms.hpp"
#include "evaluator/line_count.hpp"
#include "evaluator/mark_walk.hpp"
#include "fault.hpp"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define GENETIC_X86 1
#else
#define GENETIC_X86 0
#endif

namespace genetic {
namespace {

// The popcount instructions the line counter is compiled for. A default x86-64 build
// has none, so the processor is asked once, when an evaluator is made.
enum class Popcount : std::uint8_t { Portable, Scalar, Vector };

Popcount best_popcount() noexcept {
#if GENETIC_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq"))
    return Popcount::Vector;
  if (__builtin_cpu_supports("popcnt")) return Popcount::Scalar;
#endif
  return Popcount::Portable;
}

// The time of one word of a bit line against that of one mark of an ordering's walk, as
// measured by the evaluator benchmark. Elsewhere than x86 the portable popcount is the
// machine's own.
double word_cost(Popcount popcount) noexcept {
  switch (popcount) {
    case Popcount::Vector:
      return 0.5;
    case Popcount::Scalar:
      return 1.0;
    case Popcount::Portable:
      break;
  }
  return GENETIC_X86 ? 4.0 : 1.0;
}

template <EvaluatorKind Kind>
using LineCounter = LineCount (*)(const MarkMatrix&, std::span<const Gene>, std::uint64_t*);

template <EvaluatorKind Kind>
LineCount lines_portable(const MarkMatrix& matrix, std::span<const Gene> genes, std::uint64_t* seen) {
  return count_lines<Kind>(matrix, genes, seen);
}

#if GENETIC_X86
template <EvaluatorKind Kind>
[[gnu::target("popcnt")]] LineCount lines_scalar(const MarkMatrix& matrix, std::span<const Gene> genes,
                                                 std::uint64_t* seen) {
  return count_lines<Kind>(matrix, genes, seen);
}

template <EvaluatorKind Kind>
[[gnu::target("popcnt,avx512f,avx512vl,avx512dq,avx512vpopcntdq,prefer-vector-width=256")]] LineCount lines_vector(
    const MarkMatrix& matrix, std::span<const Gene> genes, std::uint64_t* seen) {
  return count_lines<Kind>(matrix, genes, seen);
}
#endif

template <EvaluatorKind Kind>
LineCounter<Kind> line_counter(Popcount popcount) noexcept {
#if GENETIC_X86
  if (popcount == Popcount::Vector) return &lines_vector<Kind>;
  if (popcount == Popcount::Scalar) return &lines_scalar<Kind>;
#endif
  (void)popcount;
  return &lines_portable<Kind>;
}

template <EvaluatorKind Kind>
class MatrixEvaluator final : public EvaluatorOperator {
 public:
  MatrixEvaluator(std::shared_ptr<const MarkMatrix> matrix, std::uint64_t offset, Counting counting)
      : matrix_(std::move(matrix)),
        offset_(offset),
        lines_(line_counter<Kind>(best_popcount())),
        seen_(matrix_->words()),
        tally_(matrix_->dimension()) {
    if (counting == Counting::Marks) {
      column_marks_.emplace(*matrix_);
      positions_.assign(matrix_->dimension(), kUnplaced);
    }
  }

  double fitness_of(std::span<const Gene> genes) const override {
    return fitness_from_count<Kind>(matrix_->dimension(), count(genes), offset_);
  }
  void evaluate_population(std::span<Chromosome> chromosomes) const override {
    for (Chromosome& chromosome : chromosomes) {
      if (!chromosome.fitness) chromosome.fitness = MatrixEvaluator::fitness_of(chromosome.genes);
    }
  }

 private:
  std::uint64_t count(std::span<const Gene> genes) const {
    const std::size_t n = genes.size();
    if constexpr (Kind == EvaluatorKind::LowerLeftDistance) {
      if (n == 0) return 0;
    } else {
      if (n == 0) fault(kEmptyFeedback);
      if (n == 1) return 0;  // no pair of positions: no cell read, no index checked
    }
    // Every gene is read as a row or a column before the first mark is counted.
    if (column_marks_) {
      for (const Gene gene : genes) {
        if (gene >= matrix_->dimension()) [[unlikely]]
          fault(kIndexOutOfBounds);
      }
      if constexpr (Kind != EvaluatorKind::LowerLeftDistance) {
        if (n == matrix_->dimension() && place(genes)) {
          const std::uint64_t counted = walk_ordering<Kind>(*column_marks_, positions_.data());
          std::fill(positions_.begin(), positions_.end(), kUnplaced);
          return counted;
        }
      }
      return walk_marks<Kind>(*matrix_, *column_marks_, genes, tally_.data());
    }
    const LineCount counted = lines_(*matrix_, genes, seen_.data());
    switch (counted.outcome) {
      case LineCount::Outcome::Counted:
        return counted.value;
      case LineCount::Outcome::GeneOutside:
        fault(kIndexOutOfBounds);
      case LineCount::Outcome::GeneRepeats:
        break;
    }
    return walk_marks<Kind>(*matrix_, ColumnLineMarks(*matrix_), genes, tally_.data());
  }

  // Records each gene's position; false, with every position unplaced again, when a
  // gene repeats (the genes are then no ordering).
  bool place(std::span<const Gene> genes) const noexcept {
    bool repeats = false;
    for (std::size_t i = 0; i < genes.size(); ++i) {
      repeats |= positions_[genes[i]] != kUnplaced;
      positions_[genes[i]] = static_cast<std::uint32_t>(i);
    }
    if (repeats) {
      for (const Gene gene : genes) positions_[gene] = kUnplaced;
    }
    return !repeats;
  }

  static constexpr std::uint32_t kUnplaced = 0xFFFFFFFF;  // above every position a matrix allows

  std::shared_ptr<const MarkMatrix> matrix_;
  std::uint64_t offset_;
  LineCounter<Kind> lines_;
  std::optional<ColumnMarks> column_marks_;       // only when walking the marks
  mutable std::vector<std::uint64_t> seen_;       // one bit line, reused by every evaluation
  mutable std::vector<GeneTally> tally_;          // one entry per row, zero between evaluations
  mutable std::vector<std::uint32_t> positions_;  // one per row, unplaced between evaluations
};

}  // namespace

Counting cheaper_counting(EvaluatorKind kind, const MarkMatrix& matrix) noexcept {
  // Per ordering of D genes: D lines of words() words (two lines each for the distance
  // kinds), against each mark once and two steps a gene to place it (a distance costs
  // about twice a count there).
  const auto dimension = static_cast<double>(matrix.dimension());
  const double lines = dimension * static_cast<double>(matrix.words()) *
                       (kind == EvaluatorKind::FeedbackMarks ? 1.0 : 2.0) * word_cost(best_popcount());
  const double walk =
      (static_cast<double>(matrix.marks()) + 2.0 * dimension) * (kind == EvaluatorKind::FeedbackDistance ? 2.0 : 1.0);
  return walk < lines ? Counting::Marks : Counting::Lines;
}

std::unique_ptr<EvaluatorOperator> make_matrix_evaluator(EvaluatorKind kind, std::shared_ptr<const MarkMatrix> matrix,
                                                         std::uint64_t offset, std::optional<Counting> counting) {
  const Counting chosen = counting.value_or(cheaper_counting(kind, *matrix));
  switch (kind) {
    case EvaluatorKind::FeedbackMarks:
      return std::make_unique<MatrixEvaluator<EvaluatorKind::FeedbackMarks>>(std::move(matrix), offset, chosen);
    case EvaluatorKind::FeedbackDistance:
      return std::make_unique<MatrixEvaluator<EvaluatorKind::FeedbackDistance>>(std::move(matrix), offset, chosen);
    case EvaluatorKind::LowerLeftDistance:
      return std::make_unique<MatrixEvaluator<EvaluatorKind::LowerLeftDistance>>(std::move(matrix), offset, chosen);
    case EvaluatorKind::Value:
      break;
  }
  fault("the Value kind reads no matrix");
}

}  // namespace genetic
