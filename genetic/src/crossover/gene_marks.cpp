#include "crossover/gene_marks.hpp"

#include <algorithm>
#include <bit>

namespace genetic {

void GeneMarks::reset(Gene max_gene, std::size_t max_entries) {
  // A value-indexed array stays within a few times the chromosome length.
  const std::size_t direct_limit = 4 * max_entries + 64;
  direct_ = max_gene < direct_limit;
  std::size_t needed = 0;
  if (direct_) {
    needed = static_cast<std::size_t>(max_gene) + 1;
  } else {
    // At most half full, so probe runs stay short.
    const std::size_t slots = std::bit_ceil(std::max<std::size_t>(2 * max_entries, 16));
    shift_ = 64 - static_cast<unsigned>(std::countr_zero(slots));
    slot_mask_ = slots - 1;
    needed = slots;
    if (keys_.size() < slots) keys_.resize(slots);
  }
  if (stamps_.size() < needed) stamps_.resize(needed, 0);
  if (++stamp_ == 0) {
    // After 2^32 resets old stamps could match again: clear them once.
    std::fill(stamps_.begin(), stamps_.end(), 0);
    stamp_ = 1;
  }
}

}  // namespace genetic
