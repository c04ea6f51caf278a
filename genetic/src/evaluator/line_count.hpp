#pragma once
// Counting by bit lines. For a chromosome whose genes are distinct rows of the matrix,
// the marks between one position's gene and a set of other positions' genes are one
// AND and one popcount per 64 genes of the set, so a chromosome costs about
// n * words() word operations, whatever the density of the marks.
//
// Everything here is inlined into the functions matrix_evaluator.cpp compiles once
// for each popcount instruction, so std::popcount becomes the best one the processor
// has (a vector popcount where there is one: the word loops vectorize).
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"
#include "population/chromosome.hpp"

namespace genetic {

// The number of bits set in both `line` and `set`.
[[gnu::always_inline]] inline std::uint64_t common_bits(const std::uint64_t* line, const std::uint64_t* set,
                                                        std::size_t words) noexcept {
  std::uint64_t total = 0;
  for (std::size_t w = 0; w < words; ++w) total += static_cast<std::uint64_t>(std::popcount(line[w] & set[w]));
  return total;
}

[[gnu::always_inline]] inline std::uint64_t bits_in(const std::uint64_t* set, std::size_t words) noexcept {
  std::uint64_t total = 0;
  for (std::size_t w = 0; w < words; ++w) total += static_cast<std::uint64_t>(std::popcount(set[w]));
  return total;
}

[[gnu::always_inline]] inline void add_gene(std::uint64_t* set, Gene gene) noexcept {
  set[gene / 64] |= std::uint64_t{1} << (gene % 64);
}

// L of a sequence holding every row once: whole-line counts replace the ANDs.
inline std::uint64_t whole_lines_weight(const MarkMatrix& matrix, std::span<const Gene> genes) noexcept {
  const std::size_t n = genes.size();
  std::uint64_t weight = 0;
  for (std::size_t i = 0; i < n; ++i) {
    weight += (n - 1 - i) * matrix.row_marks(genes[i]) + i * matrix.column_marks(genes[i]);
  }
  return weight;
}

// F (feedback kinds) or L (LowerLeftDistance) of `genes`, at least two, all below the
// dimension; `seen` is one line of scratch. Nothing when a gene repeats: distinct
// genes set one bit each, so a repeat shows only once all are in the set.
template <EvaluatorKind Kind>
[[gnu::always_inline]] inline std::optional<std::uint64_t> count_lines(const MarkMatrix& matrix,
                                                                       std::span<const Gene> genes,
                                                                       std::uint64_t* seen) noexcept {
  const std::size_t n = genes.size();
  const std::size_t words = matrix.words();
  std::fill_n(seen, words, std::uint64_t{0});
  const std::uint64_t* const rows = matrix.row_line(0);
  const std::uint64_t* const columns = matrix.column_line(0);

  if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
    // A mark above the diagonal is one whose row gene comes at an earlier position
    // than its column gene: count column g_j against the genes before j.
    std::uint64_t marks = 0;
    for (const Gene gene : genes) {
      marks += common_bits(columns + gene * words, seen, words);
      add_gene(seen, gene);
    }
    if (bits_in(seen, words) != n) return std::nullopt;
    return marks;
  } else if constexpr (Kind == EvaluatorKind::FeedbackDistance) {
    // The sum of (j - i) over marks (g_i, g_j), i < j, split into the sum of j over
    // those marks, by column against the genes before, and the sum of i, by row
    // against the genes after. The difference is exact modulo 2^64.
    std::uint64_t later = 0;
    for (std::size_t j = 0; j < n; ++j) {
      later += j * common_bits(columns + genes[j] * words, seen, words);
      add_gene(seen, genes[j]);
    }
    if (bits_in(seen, words) != n) return std::nullopt;
    // `seen` now holds every gene; dropping each in turn leaves the genes after it.
    std::uint64_t earlier = 0;
    for (std::size_t i = 0; i < n; ++i) {
      seen[genes[i] / 64] &= ~(std::uint64_t{1} << (genes[i] % 64));
      earlier += i * common_bits(rows + genes[i] * words, seen, words);
    }
    return later - earlier;
  } else {
    static_assert(Kind == EvaluatorKind::LowerLeftDistance);
    for (const Gene gene : genes) add_gene(seen, gene);
    if (bits_in(seen, words) != n) return std::nullopt;
    if (n == matrix.dimension()) return whole_lines_weight(matrix, genes);
    // Mark (g_i, g_j) weighs (n - 1 - i) + j: the first term summed by row, the second by column.
    std::uint64_t weight = 0;
    for (std::size_t i = 0; i < n; ++i) {
      weight += (n - 1 - i) * common_bits(rows + genes[i] * words, seen, words) +
                i * common_bits(columns + genes[i] * words, seen, words);
    }
    return weight;
  }
}

}  // namespace genetic
