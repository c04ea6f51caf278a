#pragma once
// The cells of an evaluator option's matrix. They never change once made, so every
// copy of the option shares them: handing an option to a run copies a pointer, not a
// matrix that may hold millions of cells. When they form a square, their marks are
// packed once, as they are made, and every run over them starts from that packing.
//
// Cells that are all exactly 0.0 or 1.0 (the usual 0/1 matrix) are kept as bits, a
// 64th of their size, and read back as those floats; any other cells (a -0.0
// included) are kept as given.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "evaluator/mark_matrix.hpp"

namespace genetic {

class Cells;

// Exactly +0.0 or 1.0: a -0.0 would read back as +0.0 from a bit.
inline bool is_bit(double cell) noexcept {
  const auto bits = std::bit_cast<std::uint64_t>(cell);
  return bits == 0 || bits == std::bit_cast<std::uint64_t>(1.0);
}

// Takes cells one at a time, as a list converter hands them over, straight into the
// form Cells keeps: bits while every cell so far is exactly 0.0 or 1.0, so the cells of
// a 0/1 matrix are never written out as floats, and floats from the first one that is not.
class CellsBuilder {
 public:
  void reserve(std::size_t count);
  void push_back(double cell) {
    if (!floats_ && is_bit(cell)) [[likely]] {
      if (size_ % 64 == 0) bits_.push_back(0);
      bits_.back() |= static_cast<std::uint64_t>(cell != 0.0) << (size_ % 64);
      ++size_;
      return;
    }
    push_float(cell);
  }
  // push_back(convert(x)) for every x of [first, last): 64 cells to a word while they are
  // bits, with one test per word of whether they all were. `convert` gives an element's
  // value as a float, exactly for an integer, which is then a bit when it is 0 or 1.
  template <class Element, class Convert>
  void append(const Element* first, const Element* last, Convert convert) {
    while (first != last && size_ % 64 != 0) push_back(convert(*first++));
    while (!floats_ && last - first >= 64) {
      std::uint64_t word = 0;
      bool bits = true;
      if constexpr (std::is_integral_v<Element> && sizeof(Element) == 1) {
        // Eight bytes at a time: all 0 or 1 when no bit but the lowest is set, and then
        // one multiply gathers their low bits into one byte, the first cell lowest.
        for (std::size_t k = 0; k < 64; k += 8) {
          std::uint64_t eight;
          std::memcpy(&eight, first + k, sizeof eight);
          bits &= (eight & 0xFEFEFEFEFEFEFEFEULL) == 0;
          word |= ((eight * 0x0102040810204080ULL) >> 56) << k;
        }
      } else {
        append_word(first, convert, word, bits);
      }
      if (!bits) break;
      bits_.push_back(word);
      size_ += 64;
      first += 64;
    }
    for (; first != last; ++first) push_back(convert(*first));
  }
  Cells finish() &&;

 private:
  void push_float(double cell);
  // One word of cells, element by element.
  template <class Element, class Convert>
  static void append_word(const Element* first, Convert convert, std::uint64_t& word, bool& bits) {
    std::uint64_t stray = 0;  // bits of float cells that are neither 0.0 nor 1.0
    for (std::size_t k = 0; k < 64; ++k) {
      if constexpr (std::is_integral_v<Element>) {
        bits &= static_cast<std::make_unsigned_t<Element>>(first[k]) <= 1;
        word |= static_cast<std::uint64_t>(first[k] != 0) << k;
      } else {
        // As bit patterns, with no compare: bit 61 is set in 1.0 and clear in 0.0, and the
        // pattern is a bit's exactly when it equals 1.0 or 0.0 as that bit says.
        const auto cell = std::bit_cast<std::uint64_t>(convert(first[k]));
        const std::uint64_t high = (cell >> 61) & 1;
        stray |= cell ^ (std::bit_cast<std::uint64_t>(1.0) & (0 - high));
        word |= high << k;
      }
    }
    bits &= stray == 0;
  }

  std::size_t size_ = 0;
  std::size_t reserved_ = 0;
  bool floats_ = false;
  std::vector<std::uint64_t> bits_;  // cell i is bit i, while no float has come
  std::vector<double> values_;       // every cell, once one has
};

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
  friend class CellsBuilder;
  Cells(std::size_t size, std::vector<std::uint64_t> bits, std::vector<double> values, bool floats);

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
