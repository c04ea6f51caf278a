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
#include <span>

#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"
#include "population/chromosome.hpp"

namespace genetic {

// Sums kept per word of a block until a sequence is done: the word loops then run as
// one vector operation per block, or four independent popcounts, with no sum across
// the block for every gene.
struct Lanes {
  std::uint64_t lane[MarkMatrix::kBlockWords] = {};
  std::uint64_t total() const noexcept { return (lane[0] + lane[1]) + (lane[2] + lane[3]); }
};

// Adds `factor` times the number of bits set in both `line` and `set`; `words` is a
// whole number of blocks.
[[gnu::always_inline]] inline void add_common(Lanes& sum, const std::uint64_t* line, const std::uint64_t* set,
                                              std::size_t words, std::uint64_t factor = 1) noexcept {
  static_assert(MarkMatrix::kBlockWords == 4);
  if (words == 4) {
    for (std::size_t k = 0; k < 4; ++k) {
      sum.lane[k] += factor * static_cast<std::uint64_t>(std::popcount(line[k] & set[k]));
    }
    return;
  }
  std::uint64_t total = 0;
  for (std::size_t w = 0; w < words; ++w) total += static_cast<std::uint64_t>(std::popcount(line[w] & set[w]));
  sum.lane[0] += factor * total;
}

[[gnu::always_inline]] inline std::uint64_t bits_in(const std::uint64_t* set, std::size_t words) noexcept {
  std::uint64_t total = 0;
  for (std::size_t w = 0; w < words; ++w) total += static_cast<std::uint64_t>(std::popcount(set[w]));
  return total;
}

// Block k of this table has only bit k set (8 KiB, so it stays in the first-level
// cache through a run).
struct OneHotBlocks {
  alignas(32) std::uint64_t words[256][MarkMatrix::kBlockWords];
};
inline constexpr OneHotBlocks kOneHot = [] {
  OneHotBlocks table{};
  for (std::size_t k = 0; k < 256; ++k) table.words[k][k / 64] = std::uint64_t{1} << (k % 64);
  return table;
}();

// Adds or drops a gene by rewriting its whole block: the next gene's count then reads
// the block just as it was written, where a load wider than the last store would wait
// for the store to reach the cache. A line of one block has no index to compute, so
// the set can stay in registers.
template <std::size_t Words>
[[gnu::always_inline]] inline void add_gene(std::uint64_t* set, Gene gene) noexcept {
  std::uint64_t* const block = Words == 4 ? set : set + gene / 256 * 4;
  for (std::size_t k = 0; k < 4; ++k) block[k] |= kOneHot.words[gene % 256][k];
}

template <std::size_t Words>
[[gnu::always_inline]] inline void drop_gene(std::uint64_t* set, Gene gene) noexcept {
  std::uint64_t* const block = Words == 4 ? set : set + gene / 256 * 4;
  for (std::size_t k = 0; k < 4; ++k) block[k] &= ~kOneHot.words[gene % 256][k];
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

// A line length known when compiling (Words > 0) or read at run time (Words == 0).
template <std::size_t Words>
struct Width {
  static constexpr std::size_t words(const MarkMatrix&) noexcept { return Words; }
};
template <>
struct Width<0> {
  static std::size_t words(const MarkMatrix& matrix) noexcept { return matrix.words(); }
};

// What counting by lines found: the count, or why there is none.
struct LineCount {
  enum class Outcome : std::uint8_t { Counted, GeneRepeats, GeneOutside };
  Outcome outcome = Outcome::Counted;
  std::uint64_t value = 0;
};

template <EvaluatorKind Kind, std::size_t Words>
[[gnu::always_inline]] inline LineCount count_width(const MarkMatrix& matrix, std::span<const Gene> genes,
                                                    std::uint64_t* seen) noexcept {
  const std::size_t n = genes.size();
  const std::uint64_t dimension = matrix.dimension();
  const std::size_t words = Width<Words>::words(matrix);
  std::fill_n(seen, words, std::uint64_t{0});
  const std::uint64_t* const rows = matrix.row_line(0);
  const std::uint64_t* const columns = matrix.column_line(0);
  // Each gene is checked as it is first read, in the loop that reads it: a branch never
  // taken costs less there than a pass of its own.
  constexpr LineCount kOutside{LineCount::Outcome::GeneOutside};
  constexpr LineCount kRepeats{LineCount::Outcome::GeneRepeats};

  if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
    // A mark above the diagonal is one whose row gene comes at an earlier position
    // than its column gene: count column g_j against the genes before j.
    Lanes marks;
    for (const Gene gene : genes) {
      if (gene >= dimension) [[unlikely]]
        return kOutside;
      add_common(marks, columns + gene * words, seen, words);
      add_gene<Words>(seen, gene);
    }
    if (bits_in(seen, words) != n) return kRepeats;
    return {.value = marks.total()};
  } else if constexpr (Kind == EvaluatorKind::FeedbackDistance) {
    // The sum of (j - i) over marks (g_i, g_j), i < j, split into the sum of j over
    // those marks, by column against the genes before, and the sum of i, by row
    // against the genes after. The difference is exact modulo 2^64.
    Lanes later;
    for (std::size_t j = 0; j < n; ++j) {
      if (genes[j] >= dimension) [[unlikely]]
        return kOutside;
      add_common(later, columns + genes[j] * words, seen, words, j);
      add_gene<Words>(seen, genes[j]);
    }
    if (bits_in(seen, words) != n) return kRepeats;
    // `seen` now holds every gene; dropping each in turn leaves the genes after it.
    Lanes earlier;
    for (std::size_t i = 0; i < n; ++i) {
      drop_gene<Words>(seen, genes[i]);
      add_common(earlier, rows + genes[i] * words, seen, words, i);
    }
    return {.value = later.total() - earlier.total()};
  } else {
    static_assert(Kind == EvaluatorKind::LowerLeftDistance);
    for (const Gene gene : genes) {
      if (gene >= dimension) [[unlikely]]
        return kOutside;
      add_gene<Words>(seen, gene);
    }
    if (bits_in(seen, words) != n) return kRepeats;
    if (n == dimension) return {.value = whole_lines_weight(matrix, genes)};
    // Mark (g_i, g_j) weighs (n - 1 - i) + j: the first term summed by row, the second by column.
    Lanes weight;
    for (std::size_t i = 0; i < n; ++i) {
      add_common(weight, rows + genes[i] * words, seen, words, n - 1 - i);
      add_common(weight, columns + genes[i] * words, seen, words, i);
    }
    return {.value = weight.total()};
  }
}

// F (feedback kinds) or L (LowerLeftDistance) of `genes`, at least one; `scratch` is
// one line. No count when a gene lies outside the matrix, or when one repeats: distinct
// genes set one bit each, so a repeat shows only once all are in the set. A line of one block
// (up to 256 genes) has a loop of its own, which keeps the set in a register.
template <EvaluatorKind Kind>
[[gnu::always_inline]] inline LineCount count_lines(const MarkMatrix& matrix, std::span<const Gene> genes,
                                                    std::uint64_t* scratch) noexcept {
  if (matrix.words() == 4) {
    std::uint64_t seen[4];
    return count_width<Kind, 4>(matrix, genes, seen);
  }
  return count_width<Kind, 0>(matrix, genes, scratch);
}

}  // namespace genetic
