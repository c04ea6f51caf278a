#pragma once
// The set of genes a crossing has placed in a child: emptied in constant time and reused
// from pair to pair, so a crossing allocates nothing while its buffers are large enough.
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
  // Empties the set for genes whose OR is `bound` and at most `max_entries` insertions.
  // Genes within a few times that count (orderings) are marked in an array indexed by
  // value; larger ones go to an open-addressing table.
  void reset(Gene bound, std::size_t max_entries);

  // Inserts a[i] into `first` and b[i] into `second` for every i whose bit is set in
  // `kept` (64 positions a word, no bit set at or past `length`, which neither span is
  // shorter than where a bit is set): both children's kept genes in one pass over the
  // mask. Both sets were reset alike.
  static void insert_kept(const std::uint64_t* kept, std::size_t length, GeneMarks& first, std::span<const Gene> a,
                          GeneMarks& second, std::span<const Gene> b) noexcept;

  // Inserts the donor's genes in order; those that were new go, in donor order, to
  // child[to[0]], child[to[1]], ... of the `n_free` listed positions, and the listed
  // positions left over are set to 0. `to` holds donor.size() + 1 entries: past the
  // `n_free` it repeats the last, or is all 0 when `n_free` is 0. Returns how many
  // genes were new; more than `n_free` leaves the child unspecified.
  std::size_t fill(Gene* child, const std::size_t* to, std::size_t n_free, std::span<const Gene> donor) noexcept;

  // Bytes the buffers hold; release gives them back.
  std::size_t bytes() const noexcept;
  void release() noexcept;

 private:
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

  // A value or slot belongs to the set when its stamp equals the current one.
  std::vector<std::uint32_t> stamps_;
  std::vector<Gene> keys_;
  std::uint32_t stamp_ = 0;
  bool direct_ = true;
  unsigned shift_ = 63;
  std::size_t slot_mask_ = 0;
};

}  // namespace genetic
