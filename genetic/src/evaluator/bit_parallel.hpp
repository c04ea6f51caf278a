#pragma once
// Counting by bit lines. For a chromosome whose genes are distinct rows of the matrix,
// the marks between one position's gene and a set of other positions' genes are one
// AND and one popcount per 64 genes of the set, so a chromosome costs about
// n * ceil(D / 64) word operations, whatever the density of the marks.
//
// Everything here is inlined into the instruction-set variants of the evaluators, so
// std::popcount becomes the machine instruction wherever the variant allows it.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"
#include "lineage/chromosome.hpp"

namespace genetic {

// The number of bits set in both `line` and `set`; `words` is a whole number of
// blocks, counted with one accumulator per word of a block so the popcounts overlap.
[[gnu::always_inline]] inline std::uint64_t common_bits(const std::uint64_t* line, const std::uint64_t* set,
                                                        std::size_t words) noexcept {
  static_assert(MarkMatrix::kBlockWords == 4);
  std::uint64_t a = 0, b = 0, c = 0, d = 0;
  for (std::size_t w = 0; w < words; w += 4) {
    a += static_cast<std::uint64_t>(std::popcount(line[w] & set[w]));
    b += static_cast<std::uint64_t>(std::popcount(line[w + 1] & set[w + 1]));
    c += static_cast<std::uint64_t>(std::popcount(line[w + 2] & set[w + 2]));
    d += static_cast<std::uint64_t>(std::popcount(line[w + 3] & set[w + 3]));
  }
  return (a + b) + (c + d);
}

[[gnu::always_inline]] inline std::uint64_t bit_of(Gene gene) noexcept { return std::uint64_t{1} << (gene % 64); }

// True when `gene` is a row of the matrix and not yet in the set.
[[gnu::always_inline]] inline bool is_new_row(const std::uint64_t* set, Gene gene, std::uint64_t dimension) noexcept {
  return gene < dimension && (set[gene / 64] & bit_of(gene)) == 0;
}

// F (feedback kinds) or L (LowerLeftDistance) of `genes` into `count`, using
// `scratch` (matrix.words() words, overwritten). False when the sequence repeats a
// gene, holds one outside the matrix or has fewer than two genes: the pairwise loop
// decides those, with its faults.
template <EvaluatorKind Kind>
[[gnu::always_inline]] inline bool bit_parallel_count(const MarkMatrix& matrix, std::span<const Gene> genes,
                                                      std::uint64_t* scratch, std::uint64_t& count) noexcept {
  const std::size_t n = genes.size();
  if (n < 2) return false;
  const std::uint64_t dimension = matrix.dimension();
  const std::size_t words = matrix.words();
  std::fill_n(scratch, words, std::uint64_t{0});
  std::uint64_t* const seen = scratch;  // the genes of the positions passed so far

  if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
    // A mark above the diagonal is one whose row gene comes at an earlier position
    // than its column gene: count column g_j against the genes before j.
    std::uint64_t marks = 0;
    for (const Gene gene : genes) {
      if (!is_new_row(seen, gene, dimension)) return false;
      marks += common_bits(matrix.column_line(gene), seen, words);
      seen[gene / 64] |= bit_of(gene);
    }
    count = marks;
    return true;
  } else if constexpr (Kind == EvaluatorKind::FeedbackDistance) {
    // The sum of (j - i) over marks (g_i, g_j), i < j, split into the sum of j over
    // those marks, by column against the genes before, and the sum of i, by row
    // against the genes after. The difference is exact modulo 2^64.
    std::uint64_t later = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const Gene gene = genes[j];
      if (!is_new_row(seen, gene, dimension)) return false;
      later += j * common_bits(matrix.column_line(gene), seen, words);
      seen[gene / 64] |= bit_of(gene);
    }
    // `seen` now holds every gene; dropping each in turn leaves the genes after it.
    std::uint64_t earlier = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const Gene gene = genes[i];
      seen[gene / 64] &= ~bit_of(gene);
      earlier += i * common_bits(matrix.row_line(gene), seen, words);
    }
    count = later - earlier;
    return true;
  } else {
    static_assert(Kind == EvaluatorKind::LowerLeftDistance);
    for (const Gene gene : genes) {
      if (!is_new_row(seen, gene, dimension)) return false;
      seen[gene / 64] |= bit_of(gene);
    }
    // Mark (g_i, g_j) weighs (n - 1 - i) + j: the first term summed by row, the second by column.
    std::uint64_t weight = 0;
    if (n == dimension) {
      // Every row and column is present, so whole-line counts replace the ANDs.
      for (std::size_t i = 0; i < n; ++i) {
        const Gene gene = genes[i];
        weight += (n - 1 - i) * matrix.row_marks(gene) + i * matrix.column_marks(gene);
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        const Gene gene = genes[i];
        weight += (n - 1 - i) * common_bits(matrix.row_line(gene), seen, words) +
                  i * common_bits(matrix.column_line(gene), seen, words);
      }
    }
    count = weight;
    return true;
  }
}

}  // namespace genetic
