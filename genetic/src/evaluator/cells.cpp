#include "evaluator/cells.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace genetic {
namespace {

// Exactly +0.0 or 1.0: a -0.0 would read back as +0.0 from a bit.
bool is_bit(double cell) noexcept {
  const auto bits = std::bit_cast<std::uint64_t>(cell);
  return bits == 0 || bits == std::bit_cast<std::uint64_t>(1.0);
}

}  // namespace

std::uint64_t matrix_dimension(std::uint64_t length) noexcept {
  return static_cast<std::uint64_t>(std::sqrt(static_cast<double>(length)));
}

Cells::Cells() : Cells(std::vector<double>()) {}

Cells::Cells(std::vector<double> values) {
  auto shared = std::make_shared<Shared>();
  const std::uint64_t length = values.size();
  shared->size = length;
  const std::uint64_t dimension = matrix_dimension(length);
  if (dimension * dimension == length) shared->marks.emplace(values, dimension);
  if (std::ranges::all_of(values, is_bit)) {
    // Of a 0/1 matrix the marks are the cells; of other lists, the 1.0 cells are.
    if (!shared->marks) {
      shared->bits.assign((length + 63) / 64, 0);
      for (std::uint64_t i = 0; i < length; ++i) {
        shared->bits[i / 64] |= static_cast<std::uint64_t>(values[i] != 0.0) << (i % 64);
      }
    }
  } else {
    shared->values = std::move(values);
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
