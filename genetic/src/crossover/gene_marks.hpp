#pragma once
// A set of gene values that is emptied in constant time and reused from pair to
// pair, so that a crossing allocates nothing once the buffers have grown.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "population/chromosome.hpp"

namespace genetic {

// Whether position `i` is set in a mask of bits, 64 positions a word from the low end.
inline bool bit_at(const std::uint64_t* bits, std::size_t i) noexcept { return ((bits[i / 64] >> (i % 64)) & 1) != 0; }

class GeneMarks {
 public:
  // Empties the set for values up to `max_gene` and at most `max_entries` insertions.
  // Small values (orderings) are marked in an array indexed by value; others go to
  // an open-addressing table.
  void reset(Gene max_gene, std::size_t max_entries);

  // Inserts genes[i] for every i whose bit is set in `kept` (64 positions a word).
  void insert_kept(const std::uint64_t* kept, std::span<const Gene> genes) noexcept;

  // Inserts the donor's genes in order and writes those that were new to `fresh`
  // (room for donor.size() values); returns how many were new.
  std::size_t insert_donor(std::span<const Gene> donor, Gene* fresh) noexcept;

 private:
  // True when `gene` was not in the set before.
  bool insert_hashed(Gene gene) noexcept {
    std::size_t slot = static_cast<std::size_t>((gene * 0x9e3779b97f4a7c15ULL) >> shift_);
    while (stamps_[slot] == stamp_) {
      if (keys_[slot] == gene) return false;
      slot = (slot + 1) & slot_mask_;
    }
    stamps_[slot] = stamp_;
    keys_[slot] = gene;
    return true;
  }

  // A slot or value belongs to the set when its stamp equals the current one.
  std::vector<std::uint32_t> stamps_;
  std::vector<Gene> keys_;
  std::uint32_t stamp_ = 0;
  bool direct_ = true;
  unsigned shift_ = 63;
  std::size_t slot_mask_ = 0;
};

}  // namespace genetic
