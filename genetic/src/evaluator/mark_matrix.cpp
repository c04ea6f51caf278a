#include "evaluator/mark_matrix.hpp"

#include <utility>

namespace genetic {

MarkMatrix::MarkMatrix(std::vector<double> cells, std::uint64_t dimension)
    : cells_(std::move(cells)),
      dimension_(dimension),
      words_(static_cast<std::size_t>((dimension + 64 * kBlockWords - 1) / (64 * kBlockWords)) * kBlockWords),
      row_lines_(dimension * words_, 0),
      column_lines_(dimension * words_, 0),
      row_marks_(dimension, 0),
      column_marks_(dimension, 0) {
  for (std::uint64_t r = 0; r < dimension_; ++r) {
    for (std::uint64_t c = 0; c < dimension_; ++c) {
      if (!mark(r, c)) continue;
      row_lines_[r * words_ + c / 64] |= std::uint64_t{1} << (c % 64);
      column_lines_[c * words_ + r / 64] |= std::uint64_t{1} << (r % 64);
      ++row_marks_[r];
      ++column_marks_[c];
    }
  }
}

}  // namespace genetic
