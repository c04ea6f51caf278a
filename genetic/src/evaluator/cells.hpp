#pragma once
// The cells of an evaluator option's matrix. They never change once made, so every
// copy of the option shares them: handing an option to a run copies a pointer, not a
// matrix that may hold millions of cells. When they form a square, their marks are
// packed once, as they are made, and every run over them starts from that packing.
//
// Cells that are all exactly 0.0 or 1.0 (the usual 0/1 matrix) are kept as bits, a
// 64th of their size, and read back as those floats; any other cells (a -0.0
// included) are kept as given.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
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

  std::size_t size() const noexcept { return shared_->size; }
  double operator[](std::size_t i) const noexcept {
    const Shared& s = *shared_;
    if (s.values.empty()) return s.bit(i) ? 1.0 : 0.0;
    return s.values[i];
  }
  // Whether the cells are kept as bits.
  bool binary() const noexcept { return shared_->values.empty(); }

  // The packed marks, or null when the cells do not form a square.
  std::shared_ptr<const MarkMatrix> marks() const noexcept {
    return shared_->marks ? std::shared_ptr<const MarkMatrix>(shared_, &*shared_->marks) : nullptr;
  }

  // Cell by cell as floats (a NaN cell is unequal even to itself), never by identity.
  friend bool operator==(const Cells& a, const Cells& b) noexcept;

 private:
  struct Shared {
    std::size_t size = 0;
    std::vector<double> values;       // empty when binary
    std::vector<std::uint64_t> bits;  // cell i is bit i, when binary and not a square
    std::optional<MarkMatrix> marks;  // when binary and a square, its row lines are the bits

    bool bit(std::size_t i) const noexcept {
      if (marks) return marks->mark(i / marks->dimension(), i % marks->dimension());
      return (bits[i / 64] >> (i % 64)) & 1;
    }
  };
  std::shared_ptr<const Shared> shared_;
};

}  // namespace genetic
