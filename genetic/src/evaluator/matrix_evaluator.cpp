#include "evaluator/matrix_evaluator.hpp"

#include <span>
#include <utility>
#include <vector>

#include "evaluator/bit_parallel.hpp"
#include "evaluator/bit_parallel_avx2.hpp"
#include "evaluator/fitness_terms.hpp"
#include "evaluator/pairwise.hpp"
#include "fault.hpp"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define GENETIC_X86_VARIANTS 1
#else
#define GENETIC_X86_VARIANTS 0
#endif

namespace genetic {
namespace {

template <EvaluatorKind Kind>
class MatrixEvaluator;

// One instruction-set variant: the whole per-sequence and per-population loops,
// compiled with the counting inlined.
template <EvaluatorKind Kind>
struct Variant {
  double (*fitness)(const MatrixEvaluator<Kind>&, std::span<const Gene>);
  void (*population)(const MatrixEvaluator<Kind>&, std::span<Chromosome>);
};

template <EvaluatorKind Kind>
Variant<Kind> variant_for(PopcountIsa isa);

template <EvaluatorKind Kind>
class MatrixEvaluator final : public EvaluatorOperator {
 public:
  MatrixEvaluator(MarkMatrix matrix, std::uint64_t offset, PopcountIsa isa)
      : matrix_(std::move(matrix)),
        offset_(offset),
        scratch_(matrix_.words(), 0),
        variant_(variant_for<Kind>(isa)) {}

  double fitness_of(std::span<const Gene> genes) const override { return variant_.fitness(*this, genes); }
  void evaluate_population(std::span<Chromosome> chromosomes) const override {
    variant_.population(*this, chromosomes);
  }

  [[gnu::always_inline]] double compute(std::span<const Gene> genes) const {
    std::uint64_t count = 0;
    if (bit_parallel_count<Kind>(matrix_, genes, scratch_.data(), count)) {
      return fitness_from_count<Kind>(matrix_.dimension(), count, offset_);
    }
    return pairwise_fitness<Kind>(matrix_, offset_, genes);
  }

#if GENETIC_X86_VARIANTS
  // The same result, counting fixed-length lines with 256-bit vectors.
  [[gnu::target("avx2,popcnt"), gnu::always_inline]] double compute_avx2(std::span<const Gene> genes) const {
    const avx2::LineCount counted = avx2::count<Kind>(matrix_, genes);
    switch (counted.outcome) {
      case avx2::LineCount::Outcome::Counted:
        return fitness_from_count<Kind>(matrix_.dimension(), counted.count, offset_);
      case avx2::LineCount::Outcome::OtherLength:
        return compute(genes);
      case avx2::LineCount::Outcome::NeedsPairwise:
        break;
    }
    return pairwise_fitness<Kind>(matrix_, offset_, genes);
  }
#endif

 private:
  MarkMatrix matrix_;
  std::uint64_t offset_;
  mutable std::vector<std::uint64_t> scratch_;  // one bit line, reused by every evaluation
  Variant<Kind> variant_;
};

template <EvaluatorKind Kind>
[[gnu::always_inline]] inline void evaluate_missing(const MatrixEvaluator<Kind>& evaluator,
                                                    std::span<Chromosome> chromosomes) {
  for (Chromosome& chromosome : chromosomes) {
    if (!chromosome.fitness) chromosome.fitness = evaluator.compute(chromosome.genes);
  }
}

template <EvaluatorKind Kind>
[[gnu::flatten]] double fitness_portable(const MatrixEvaluator<Kind>& evaluator, std::span<const Gene> genes) {
  return evaluator.compute(genes);
}

template <EvaluatorKind Kind>
[[gnu::flatten]] void population_portable(const MatrixEvaluator<Kind>& evaluator,
                                          std::span<Chromosome> chromosomes) {
  evaluate_missing(evaluator, chromosomes);
}

#if GENETIC_X86_VARIANTS
template <EvaluatorKind Kind>
[[gnu::target("popcnt"), gnu::flatten]] double fitness_popcnt(const MatrixEvaluator<Kind>& evaluator,
                                                              std::span<const Gene> genes) {
  return evaluator.compute(genes);
}

template <EvaluatorKind Kind>
[[gnu::target("popcnt"), gnu::flatten]] void population_popcnt(const MatrixEvaluator<Kind>& evaluator,
                                                               std::span<Chromosome> chromosomes) {
  evaluate_missing(evaluator, chromosomes);
}

template <EvaluatorKind Kind>
[[gnu::target("avx2,popcnt"), gnu::flatten]] double fitness_avx2(const MatrixEvaluator<Kind>& evaluator,
                                                                 std::span<const Gene> genes) {
  return evaluator.compute_avx2(genes);
}

template <EvaluatorKind Kind>
[[gnu::target("avx2,popcnt"), gnu::flatten]] void population_avx2(const MatrixEvaluator<Kind>& evaluator,
                                                                  std::span<Chromosome> chromosomes) {
  for (Chromosome& chromosome : chromosomes) {
    if (!chromosome.fitness) chromosome.fitness = evaluator.compute_avx2(chromosome.genes);
  }
}
#endif

template <EvaluatorKind Kind>
Variant<Kind> variant_for(PopcountIsa isa) {
  if (!popcount_isa_supported(isa)) fault("the processor does not support the requested popcount variant");
#if GENETIC_X86_VARIANTS
  if (isa == PopcountIsa::Popcnt) return {&fitness_popcnt<Kind>, &population_popcnt<Kind>};
  if (isa == PopcountIsa::Avx2) return {&fitness_avx2<Kind>, &population_avx2<Kind>};
#endif
  return {&fitness_portable<Kind>, &population_portable<Kind>};
}

}  // namespace

bool popcount_isa_supported(PopcountIsa isa) noexcept {
  switch (isa) {
    case PopcountIsa::Portable:
      return true;
    case PopcountIsa::Popcnt:
#if GENETIC_X86_VARIANTS
      __builtin_cpu_init();
      return __builtin_cpu_supports("popcnt");
#else
      return false;
#endif
    case PopcountIsa::Avx2:
#if GENETIC_X86_VARIANTS
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
#else
      return false;
#endif
  }
  return false;
}

PopcountIsa best_popcount_isa() noexcept {
  if (popcount_isa_supported(PopcountIsa::Avx2)) return PopcountIsa::Avx2;
  return popcount_isa_supported(PopcountIsa::Popcnt) ? PopcountIsa::Popcnt : PopcountIsa::Portable;
}

std::unique_ptr<EvaluatorOperator> make_matrix_evaluator(EvaluatorKind kind, MarkMatrix matrix,
                                                         std::uint64_t offset) {
  return make_matrix_evaluator(kind, std::move(matrix), offset, best_popcount_isa());
}

std::unique_ptr<EvaluatorOperator> make_matrix_evaluator(EvaluatorKind kind, MarkMatrix matrix,
                                                         std::uint64_t offset, PopcountIsa isa) {
  switch (kind) {
    case EvaluatorKind::FeedbackMarks:
      return std::make_unique<MatrixEvaluator<EvaluatorKind::FeedbackMarks>>(std::move(matrix), offset, isa);
    case EvaluatorKind::FeedbackDistance:
      return std::make_unique<MatrixEvaluator<EvaluatorKind::FeedbackDistance>>(std::move(matrix), offset, isa);
    case EvaluatorKind::LowerLeftDistance:
      return std::make_unique<MatrixEvaluator<EvaluatorKind::LowerLeftDistance>>(std::move(matrix), offset, isa);
    case EvaluatorKind::Value:
      break;
  }
  fault("the Value kind reads no matrix");
}

}  // namespace genetic
