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

// The direct paths have no branch on the data: which positions are kept and which
// genes are new are coin flips that a predictor cannot learn.
void GeneMarks::insert_kept(const std::uint64_t* kept, std::span<const Gene> genes) noexcept {
  const std::size_t n = genes.size();
  if (direct_) {
    std::uint32_t* const stamps = stamps_.data();
    const std::uint32_t stamp = stamp_;
    for (std::size_t i = 0; i < n; ++i) {
      std::uint32_t& mark = stamps[genes[i]];
      mark = bit_at(kept, i) ? stamp : mark;
    }
    return;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (bit_at(kept, i)) insert_hashed(genes[i]);
  }
}

std::size_t GeneMarks::insert_donor(std::span<const Gene> donor, Gene* fresh) noexcept {
  std::size_t count = 0;
  if (direct_) {
    std::uint32_t* const stamps = stamps_.data();
    const std::uint32_t stamp = stamp_;
    for (const Gene gene : donor) {
      const bool is_new = stamps[gene] != stamp;
      stamps[gene] = stamp;
      fresh[count] = gene;
      count += is_new ? 1 : 0;
    }
    return count;
  }
  for (const Gene gene : donor) {
    if (insert_hashed(gene)) fresh[count++] = gene;
  }
  return count;
}

}  // namespace genetic
