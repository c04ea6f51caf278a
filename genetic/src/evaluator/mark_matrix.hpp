#pragma once
// The square matrix a matrix evaluator reads, as its marks packed into bit lines, one
// per row and one per column: the line counting ANDs and counts them, and the walk
// over the marks lists them from the column lines. Whether a cell is a mark is
// decided once, when the lines are packed.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace genetic {

class MarkMatrix {
 public:
  // `cells` holds dimension * dimension values, cell (r, c) at r * dimension + c.
  MarkMatrix(std::span<const double> cells, std::uint64_t dimension);
  // The same from the marks alone: cell i is a mark when bit i of `cell_bits` (64 a
  // word, from the low end) is set.
  MarkMatrix(std::span<const std::uint64_t> cell_bits, std::uint64_t dimension);

  // NaN compares unequal to everything, so it is a mark; -0.0 == 0.0, so it is not.
  static bool is_mark(double cell) noexcept { return cell != 0.0; }

  std::uint64_t dimension() const noexcept { return dimension_; }
  // Callers check both indices against dimension() first.
  bool mark(std::uint64_t row, std::uint64_t column) const noexcept {
    return (row_lines_[row * words_ + column / 64] >> (column % 64)) & 1;
  }

  // 64-bit words in one bit line: ceil(dimension / 64) rounded up to a whole block,
  // so the counting loops need no remainder step. Bits past the last column stay 0.
  static constexpr std::size_t kBlockWords = 4;
  std::size_t words() const noexcept { return words_; }
  // Bit c of the row line r is mark(r, c); bit r of the column line c is mark(r, c).
  const std::uint64_t* row_line(std::uint64_t row) const noexcept { return row_lines_.data() + row * words_; }
  const std::uint64_t* column_line(std::uint64_t column) const noexcept {
    return column_lines_.data() + column * words_;
  }
  // The number of marks in a whole row or column.
  std::uint64_t row_marks(std::uint64_t row) const noexcept { return row_marks_[row]; }
  std::uint64_t column_marks(std::uint64_t column) const noexcept { return column_marks_[column]; }
  // The number of marks in the whole matrix.
  std::uint64_t marks() const noexcept { return marks_; }

 private:
  std::uint64_t dimension_ = 0;
  std::size_t words_ = 0;
  std::uint64_t marks_ = 0;
  std::vector<std::uint64_t> row_lines_;
  std::vector<std::uint64_t> column_lines_;
  std::vector<std::uint64_t> row_marks_;
  std::vector<std::uint64_t> column_marks_;
};

}  // namespace genetic
