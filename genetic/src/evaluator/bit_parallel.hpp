#pragma once
// Counting by bit lines. For a chromosome whose genes are distinct rows of the matrix,
// the marks between one position's gene and a set of other positions' genes are one
// AND and one popcount per 64 genes of the set, so a chromosome costs about
// n * ceil(D / 64) word operations, whatever the density of the marks.
//
// Everything here is inlined into the instruction-set variants of the evaluators, so
// std::popcount becomes the machine instruction wherever the variant allows it. The
// loops are compiled once for each common line length (4, 8, 12 and 16 words, up to
// 1024 genes), so they unroll completely and keep the set of passed genes on the
// stack; longer lines take the same loops with the length read at run time.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"
#include "population/chromosome.hpp"

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

// A line length known when compiling (Words > 0) or read at run time (Words == 0).
template <std::size_t Words>
struct LineLength {
  explicit LineLength(std::size_t) noexcept {}
  static constexpr std::size_t words() noexcept { return Words; }
  [[gnu::always_inline]] static std::uint64_t common(const std::uint64_t* line, const std::uint64_t* set) noexcept {
    return common_bits(line, set, Words);
  }
};

template <>
struct LineLength<0> {
  explicit LineLength(std::size_t words) noexcept : words_(words) {}
  std::size_t words() const noexcept { return words_; }
  [[gnu::always_inline]] std::uint64_t common(const std::uint64_t* line, const std::uint64_t* set) const noexcept {
    return common_bits(line, set, words_);
  }
  std::size_t words_;
};

// The number of bits set in the first `words` words of `set`.
[[gnu::always_inline]] inline std::uint64_t bits_in(const std::uint64_t* set, std::size_t words) noexcept {
  std::uint64_t total = 0;
  for (std::size_t w = 0; w < words; ++w) total += static_cast<std::uint64_t>(std::popcount(set[w]));
  return total;
}

// Adds every gene to `seen`; false when one lies outside the matrix or repeats. The
// repeat test comes after the loop: distinct genes set exactly one bit each.
template <class Length>
[[gnu::always_inline]] inline bool add_all_rows(std::span<const Gene> genes, std::uint64_t dimension,
                                                std::uint64_t* seen, const Length& length) noexcept {
  for (const Gene gene : genes) {
    if (gene >= dimension) return false;
    seen[gene / 64] |= bit_of(gene);
  }
  return bits_in(seen, length.words()) == genes.size();
}

template <EvaluatorKind Kind, class Length>
[[gnu::always_inline]] inline bool count_with_lines(const MarkMatrix& matrix, std::span<const Gene> genes,
                                                    std::uint64_t* seen, const Length& length,
                                                    std::uint64_t& count) noexcept {
  const std::size_t n = genes.size();
  const std::uint64_t dimension = matrix.dimension();
  const std::size_t words = length.words();
  std::fill_n(seen, words, std::uint64_t{0});
  const std::uint64_t* const rows = matrix.row_line(0);
  const std::uint64_t* const columns = matrix.column_line(0);

  if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
    // A mark above the diagonal is one whose row gene comes at an earlier position
    // than its column gene: count column g_j against the genes before j. Whether the
    // genes were distinct is known only at the end; a repeat discards the count.
    std::uint64_t marks = 0;
    for (const Gene gene : genes) {
      if (gene >= dimension) return false;
      marks += length.common(columns + gene * words, seen);
      seen[gene / 64] |= bit_of(gene);
    }
    if (bits_in(seen, words) != n) return false;
    count = marks;
    return true;
  } else if constexpr (Kind == EvaluatorKind::FeedbackDistance) {
    // The sum of (j - i) over marks (g_i, g_j), i < j, split into the sum of j over
    // those marks, by column against the genes before, and the sum of i, by row
    // against the genes after. The difference is exact modulo 2^64.
    std::uint64_t later = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const Gene gene = genes[j];
      if (gene >= dimension) return false;
      later += j * length.common(columns + gene * words, seen);
      seen[gene / 64] |= bit_of(gene);
    }
    if (bits_in(seen, words) != n) return false;
    // `seen` now holds every gene; dropping each in turn leaves the genes after it.
    std::uint64_t earlier = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const Gene gene = genes[i];
      seen[gene / 64] &= ~bit_of(gene);
      earlier += i * length.common(rows + gene * words, seen);
    }
    count = later - earlier;
    return true;
  } else {
    static_assert(Kind == EvaluatorKind::LowerLeftDistance);
    if (!add_all_rows(genes, dimension, seen, length)) return false;
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
        weight += (n - 1 - i) * length.common(rows + gene * words, seen) +
                  i * length.common(columns + gene * words, seen);
      }
    }
    count = weight;
    return true;
  }
}

template <EvaluatorKind Kind, std::size_t Words>
[[gnu::always_inline]] inline bool count_fixed(const MarkMatrix& matrix, std::span<const Gene> genes,
                                               std::uint64_t& count) noexcept {
  std::uint64_t seen[Words];  // the genes of the positions passed so far
  return count_with_lines<Kind>(matrix, genes, seen, LineLength<Words>(Words), count);
}

// F (feedback kinds) or L (LowerLeftDistance) of `genes` into `count`, using
// `scratch` (matrix.words() words, overwritten) for long lines. False when the
// sequence repeats a gene, holds one outside the matrix or has fewer than two genes:
// the pairwise loop decides those, with its faults.
template <EvaluatorKind Kind>
[[gnu::always_inline]] inline bool bit_parallel_count(const MarkMatrix& matrix, std::span<const Gene> genes,
                                                      std::uint64_t* scratch, std::uint64_t& count) noexcept {
  if (genes.size() < 2) return false;
  switch (matrix.words()) {
    case 4:
      return count_fixed<Kind, 4>(matrix, genes, count);
    case 8:
      return count_fixed<Kind, 8>(matrix, genes, count);
    case 12:
      return count_fixed<Kind, 12>(matrix, genes, count);
    case 16:
      return count_fixed<Kind, 16>(matrix, genes, count);
    default:
      return count_with_lines<Kind>(matrix, genes, scratch, LineLength<0>(matrix.words()), count);
  }
}

}  // namespace genetic
