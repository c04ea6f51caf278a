#pragma once
// Counting by walking the marks. Each position visits the marks of its gene's column
// and adds what the other positions holding those rows contribute, so a chromosome
// costs n plus the marks of its genes' columns: for a sparse matrix far less than the
// bit lines' n * words(). It takes any sequence, repeated genes included, and so is
// also the bit lines' fallback for those, reading the marks from the lines then.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "evaluator/line_count.hpp"
#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"
#include "population/chromosome.hpp"

namespace genetic {

// The rows marked in each column, as lists.
class ColumnMarks {
 public:
  explicit ColumnMarks(const MarkMatrix& matrix);

  template <class Visit>
  [[gnu::always_inline]] void each(std::uint64_t column, Visit&& visit) const {
    const std::uint32_t* const end = rows_.data() + starts_[column + 1];
    for (const std::uint32_t* row = rows_.data() + starts_[column]; row != end; ++row) visit(*row);
  }
  // Every mark as (rows()[k], columns()[k]), column by column.
  std::span<const std::uint32_t> rows() const noexcept { return rows_; }
  std::span<const std::uint32_t> columns() const noexcept { return columns_; }

 private:
  std::vector<std::uint64_t> starts_;  // column c's rows are rows_[starts_[c], starts_[c + 1])
  std::vector<std::uint32_t> rows_;    // a matrix of 2^32 rows would not fit in memory
  std::vector<std::uint32_t> columns_;
};

// F (feedback kinds) of an ordering of every row, from each row's position in it: one
// pass over the marks in a fixed order, whose length does not vary from gene to gene as
// a column's marks do (a branch a predictor misses about once a gene in a sparse matrix).
template <EvaluatorKind Kind>
[[gnu::always_inline]] inline std::uint64_t walk_ordering(const ColumnMarks& marks,
                                                          const std::uint32_t* position) noexcept {
  static_assert(Kind != EvaluatorKind::LowerLeftDistance);
  const std::uint32_t* const rows = marks.rows().data();
  const std::uint32_t* const columns = marks.columns().data();
  const std::size_t count = marks.rows().size();
  std::uint64_t total = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint64_t before = position[rows[k]];
    const std::uint64_t after = position[columns[k]];
    // A mark above the diagonal: its row's gene comes first. Distances add up modulo 2^64.
    if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
      total += before < after ? 1 : 0;
    } else {
      total += before < after ? after - before : 0;
    }
  }
  return total;
}

// The same rows read from the column lines: a step per word and per mark.
class ColumnLineMarks {
 public:
  explicit ColumnLineMarks(const MarkMatrix& matrix) noexcept : matrix_(matrix) {}

  template <class Visit>
  [[gnu::always_inline]] void each(std::uint64_t column, Visit&& visit) const {
    const std::uint64_t* const line = matrix_.column_line(column);
    for (std::size_t w = 0; w < matrix_.words(); ++w) {
      for (std::uint64_t bits = line[w]; bits != 0; bits &= bits - 1) {
        visit(w * 64 + static_cast<std::uint64_t>(std::countr_zero(bits)));
      }
    }
  }

 private:
  const MarkMatrix& matrix_;
};

// For one gene, the positions of the sequence walked so far that hold it: how many,
// and the sum of their indices.
struct GeneTally {
  std::uint64_t count = 0;
  std::uint64_t positions = 0;
};

// F (feedback kinds) or L (LowerLeftDistance) of `genes`, at least two, all below the
// dimension. `tally` holds a zero entry per row and is left so. Every sum is modulo
// 2^64, as the pairwise definition's is, so the result is the same bit for bit.
template <EvaluatorKind Kind, class Marks>
[[gnu::always_inline]] inline std::uint64_t walk_marks(const MarkMatrix& matrix, const Marks& marks,
                                                       std::span<const Gene> genes, GeneTally* tally) noexcept {
  const std::size_t n = genes.size();
  std::uint64_t total = 0;
  if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
    // Mark (r, g_j) adds one for each earlier position holding r.
    for (const Gene gene : genes) {
      marks.each(gene, [&](std::uint64_t row) { total += tally[row].count; });
      ++tally[gene].count;
    }
  } else if constexpr (Kind == EvaluatorKind::FeedbackDistance) {
    // Mark (r, g_j) adds j - i for each earlier position i holding r.
    for (std::size_t j = 0; j < n; ++j) {
      marks.each(genes[j], [&](std::uint64_t row) { total += j * tally[row].count - tally[row].positions; });
      ++tally[genes[j]].count;
      tally[genes[j]].positions += j;
    }
  } else {
    static_assert(Kind == EvaluatorKind::LowerLeftDistance);
    bool repeats = false;
    for (std::size_t i = 0; i < n; ++i) {
      repeats |= tally[genes[i]].count++ != 0;
      tally[genes[i]].positions += i;
    }
    if (!repeats && n == matrix.dimension()) {
      total = whole_lines_weight(matrix, genes);
    } else {
      // Mark (r, g_j) weighs (n - 1 - i) + j for each position i holding r.
      for (std::size_t j = 0; j < n; ++j) {
        marks.each(genes[j],
                   [&](std::uint64_t row) { total += tally[row].count * (n - 1 + j) - tally[row].positions; });
      }
    }
  }
  for (const Gene gene : genes) tally[gene] = {};
  return total;
}

}  // namespace genetic
