#include "evaluator/mark_walk.hpp"

namespace genetic {

ColumnMarks::ColumnMarks(const MarkMatrix& matrix) : starts_(matrix.dimension() + 1, 0) {
  for (std::uint64_t c = 0; c < matrix.dimension(); ++c) starts_[c + 1] = starts_[c] + matrix.column_marks(c);
  rows_.reserve(starts_.back());
  columns_.reserve(starts_.back());
  ColumnLineMarks lines(matrix);
  for (std::uint64_t c = 0; c < matrix.dimension(); ++c) {
    lines.each(c, [&](std::uint64_t row) {
      rows_.push_back(static_cast<std::uint32_t>(row));
      columns_.push_back(static_cast<std::uint32_t>(c));
    });
  }
}

}  // namespace genetic
