#pragma once
// The cells of an evaluator option's matrix. They never change once made, so every
// copy of the option shares them: handing an option to a run copies a pointer, not a
// matrix that may hold millions of cells.
#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace genetic {

class Cells {
 public:
  Cells() = default;
  Cells(std::vector<double> values)  // NOLINT: implicit, a list of cells is a Cells
      : values_(std::make_shared<const std::vector<double>>(std::move(values))) {}
  Cells(std::initializer_list<double> values) : Cells(std::vector<double>(values)) {}

  std::span<const double> values() const noexcept {
    return values_ ? std::span<const double>(*values_) : std::span<const double>();
  }
  std::size_t size() const noexcept { return values().size(); }
  double operator[](std::size_t i) const noexcept { return values()[i]; }
  auto begin() const noexcept { return values().begin(); }
  auto end() const noexcept { return values().end(); }

  // Cell by cell as floats (a NaN cell is unequal even to itself), never by identity.
  friend bool operator==(const Cells& a, const Cells& b) noexcept { return std::ranges::equal(a.values(), b.values()); }

 private:
  std::shared_ptr<const std::vector<double>> values_;
};

}  // namespace genetic
