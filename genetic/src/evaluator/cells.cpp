#include "evaluator/cells.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <stdexcept>
#include <utility>

namespace genetic {

std::uint64_t matrix_dimension(std::uint64_t length) noexcept {
  return static_cast<std::uint64_t>(std::sqrt(static_cast<double>(length)));
}

void CellsBuilder::reserve(std::size_t count) {
  // A count no list of cells could hold is refused as such a list refuses it, before the
  // bits ask the allocator for a 64th of it.
  if (count > values_.max_size()) throw std::length_error("cells");
  reserved_ = count;
  bits_.reserve((count + 63) / 64);
}

void CellsBuilder::push_float(double cell) {
  if (!floats_) {
    floats_ = true;
    values_.reserve(std::max(reserved_, size_ + 1));
    for (std::size_t i = 0; i < size_; ++i) values_.push_back(static_cast<double>((bits_[i / 64] >> (i % 64)) & 1));
  }
  values_.push_back(cell);
  ++size_;
}

Cells CellsBuilder::finish() && {
  if (floats_) bits_.clear();
  return Cells(size_, std::move(bits_), std::move(values_), floats_);
}

Cells::Cells() : Cells(std::vector<double>()) {}

Cells::Cells(std::vector<double> values) {
  CellsBuilder builder;
  builder.reserve(values.size());
  for (const double value : values) builder.push_back(value);
  *this = std::move(builder).finish();
}

Cells::Cells(std::size_t size, std::vector<std::uint64_t> bits, std::vector<double> values, bool floats) {
  auto shared = std::make_shared<Shared>();
  shared->size = size;
  const std::uint64_t dimension = matrix_dimension(size);
  const bool square = dimension * dimension == size;
  if (floats) {
    if (square) shared->marks.emplace(std::span<const double>(values), dimension);
    shared->values = std::move(values);
  } else if (square) {
    // Of a 0/1 matrix the marks are the cells.
    shared->marks.emplace(std::span<const std::uint64_t>(bits), dimension);
  } else {
    shared->bits = std::move(bits);
  }
  shared_ = std::move(shared);
}

bool operator==(const Cells& a, const Cells& b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

}  // namespace genetic
