#pragma once
// The run-time evaluators of the three matrix kinds.
#include <cstdint>
#include <memory>

#include "evaluator/evaluator_operator.hpp"
#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"

namespace genetic {

// The instruction sets the counting loops are compiled for. A default x86-64 build
// has no popcount instruction, so the variant is chosen once, when an evaluator is
// made, from what the processor reports. Avx2 counts fixed-length lines (up to 1024
// genes) with 256-bit vectors and longer ones as Popcnt does.
enum class PopcountIsa : std::uint8_t { Portable = 0, Popcnt = 1, Avx2 = 2 };

bool popcount_isa_supported(PopcountIsa isa) noexcept;
// The fastest supported variant.
PopcountIsa best_popcount_isa() noexcept;

// An evaluator of a matrix kind (a Fault for Value) over `matrix`, adding `offset`.
// It keeps scratch space for its counting, so one evaluator serves one thread at a time.
std::unique_ptr<EvaluatorOperator> make_matrix_evaluator(EvaluatorKind kind, MarkMatrix matrix,
                                                         std::uint64_t offset);
// The same, compiled for `isa`, which must be supported.
std::unique_ptr<EvaluatorOperator> make_matrix_evaluator(EvaluatorKind kind, MarkMatrix matrix,
                                                         std::uint64_t offset, PopcountIsa isa);

}  // namespace genetic
