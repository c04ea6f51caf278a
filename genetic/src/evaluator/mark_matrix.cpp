#include "evaluator/mark_matrix.hpp"

#include <bit>
#include <utility>
#include <vector>

namespace genetic {

namespace {

std::vector<std::uint64_t> mark_bits(std::span<const double> cells) {
  std::vector<std::uint64_t> bits((cells.size() + 63) / 64, 0);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    bits[i / 64] |= static_cast<std::uint64_t>(MarkMatrix::is_mark(cells[i])) << (i % 64);
  }
  return bits;
}

}  // namespace

MarkMatrix::MarkMatrix(std::span<const double> cells, std::uint64_t dimension)
    : MarkMatrix(mark_bits(cells), dimension) {}

MarkMatrix::MarkMatrix(std::span<const std::uint64_t> cell_bits, std::uint64_t dimension)
    : dimension_(dimension),
      words_(static_cast<std::size_t>((dimension + 64 * kBlockWords - 1) / (64 * kBlockWords)) * kBlockWords),
      row_lines_(dimension * words_, 0),
      column_lines_(dimension * words_, 0),
      row_marks_(dimension, 0),
      column_marks_(dimension, 0) {
  // The row lines are the cells' bits a row at a time, each row starting a line of its
  // own; the column lines then take the set bits of the rows, so that pass costs one
  // step per mark.
  const std::uint64_t* const stream = cell_bits.data();
  for (std::uint64_t r = 0; r < dimension_; ++r) {
    std::uint64_t* const row = row_lines_.data() + r * words_;
    for (std::uint64_t c0 = 0; c0 < dimension_; c0 += 64) {
      const std::uint64_t width = dimension_ - c0 < 64 ? dimension_ - c0 : 64;
      const std::uint64_t at = r * dimension_ + c0;
      const std::uint64_t shift = at % 64;
      std::uint64_t word = stream[at / 64] >> shift;
      if (shift + width > 64) word |= stream[at / 64 + 1] << (64 - shift);
      if (width < 64) word &= (std::uint64_t{1} << width) - 1;
      row[c0 / 64] = word;
    }
  }
  for (std::uint64_t r = 0; r < dimension_; ++r) {
    const std::uint64_t* const row = row_line(r);
    const std::uint64_t row_bit = std::uint64_t{1} << (r % 64);
    for (std::size_t w = 0; w < words_; ++w) {
      row_marks_[r] += static_cast<std::uint64_t>(std::popcount(row[w]));
      marks_ += static_cast<std::uint64_t>(std::popcount(row[w]));
      for (std::uint64_t bits = row[w]; bits != 0; bits &= bits - 1) {
        const std::uint64_t c = w * 64 + static_cast<std::uint64_t>(std::countr_zero(bits));
        column_lines_[c * words_ + r / 64] |= row_bit;
      }
    }
  }
  for (std::uint64_t c = 0; c < dimension_; ++c) {
    const std::uint64_t* const column = column_line(c);
    for (std::size_t w = 0; w < words_; ++w) column_marks_[c] += static_cast<std::uint64_t>(std::popcount(column[w]));
  }
}

}  // namespace genetic
