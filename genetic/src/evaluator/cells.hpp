#pragma once
// The cells of an evaluator option's matrix. They never change once made, so every
// copy of the option shares them: handing an option to a run copies a pointer, not a
// matrix that may hold millions of cells. When they form a square, their marks are
// packed once, as they are made, and every run over them starts from that packing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "evaluator/mark_matrix.hpp"

namespace genetic {

// The side of a square matrix of `length` cells: the double-precision root truncated.
// The cells form a square exactly when its square is `length`.
std::uint64_t matrix_dimension(std::uint64_t length) noexcept;

class Cells {
 public:
  Cells();
  Cells(std::vector<double> values);  // NOLINT: implicit, a list of cells is a Cells
  Cells(std::initializer_list<double> values) : Cells(std::vector<double>(values)) {}

  std::span<const double> values() const noexcept { return shared_->values; }
  std::size_t size() const noexcept { return shared_->values.size(); }
  double operator[](std::size_t i) const noexcept { return shared_->values[i]; }
  auto begin() const noexcept { return values().begin(); }
  auto end() const noexcept { return values().end(); }

  // The packed marks, or null when the cells do not form a square.
  const MarkMatrix* marks() const noexcept { return shared_->marks ? &*shared_->marks : nullptr; }

  // Cell by cell as floats (a NaN cell is unequal even to itself), never by identity.
  friend bool operator==(const Cells& a, const Cells& b) noexcept { return std::ranges::equal(a.values(), b.values()); }

 private:
  struct Shared {
    std::vector<double> values;
    std::optional<MarkMatrix> marks;
  };
  std::shared_ptr<const Shared> shared_;
};

}  // namespace genetic
