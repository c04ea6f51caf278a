#include "crossover/gene_marks.hpp"

#include <algorithm>
#include <bit>

namespace genetic {
namespace {

// Every donor gene is written at the next listed position whether new or not (one that
// was not is overwritten by the next new one), so no branch hangs on the set test: which
// genes are new is a coin flip a predictor cannot learn. Returns the count of new genes.
// The buffers never overlap one another or the donor, which the loop tells the compiler.
template <class Insert>
[[gnu::always_inline]] inline std::size_t place(Gene* __restrict child, const std::size_t* __restrict to,
                                                std::span<const Gene> donor, Gene& last_new, Insert insert) {
  const Gene* __restrict const from = donor.data();
  const std::size_t n = donor.size();
  std::size_t placed = 0;
#pragma GCC unroll 4
  for (std::size_t k = 0; k < n; ++k) {
    const Gene gene = from[k];
    const bool is_new = insert(gene);
    child[to[placed]] = gene;
    last_new = is_new ? gene : last_new;
    placed += is_new ? 1 : 0;
  }
  return placed;
}

}  // namespace

void GeneMarks::reset(Gene bound, std::size_t max_entries) {
  // A value-indexed array stays within a few times the number of genes.
  direct_ = bound < 4 * max_entries + 64;
  std::size_t needed = 0;
  if (direct_) {
    needed = static_cast<std::size_t>(bound) + 1;
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

void GeneMarks::insert_kept(const std::uint64_t* kept, std::size_t length, GeneMarks& first, std::span<const Gene> a,
                            GeneMarks& second, std::span<const Gene> b) noexcept {
  // Only the set bits are visited: no branch on a single coin flip.
  const auto each_kept = [kept, length, a, b](auto insert) {
    const std::size_t n_words = (length + 63) / 64;
    for (std::size_t w = 0; w < n_words; ++w) {
      for (std::uint64_t bits = kept[w]; bits != 0; bits &= bits - 1) {
        const std::size_t i = w * 64 + static_cast<std::size_t>(std::countr_zero(bits));
        insert(a[i], b[i]);
      }
    }
  };
  // Reset alike, both sets are indexed by value or both hashed.
  if (first.direct_) {
    each_kept([stamps1 = first.stamps_.data(), stamp1 = first.stamp_, stamps2 = second.stamps_.data(),
               stamp2 = second.stamp_](Gene gene1, Gene gene2) {
      stamps1[gene1] = stamp1;
      stamps2[gene2] = stamp2;
    });
  } else {
    each_kept([&first, &second](Gene gene1, Gene gene2) {
      first.insert_hashed(gene1);
      second.insert_hashed(gene2);
    });
  }
}

std::size_t GeneMarks::fill(Gene* child, const std::size_t* to, std::size_t n_free,
                            std::span<const Gene> donor) noexcept {
  Gene last_new = 0;
  std::uint32_t* __restrict const stamps = stamps_.data();
  const std::uint32_t stamp = stamp_;
  const auto insert_direct = [stamps, stamp](Gene gene) {
    const bool is_new = stamps[gene] != stamp;
    stamps[gene] = stamp;
    return is_new;
  };
  const std::size_t placed = direct_
                                 ? place(child, to, donor, last_new, insert_direct)
                                 : place(child, to, donor, last_new, [this](Gene gene) { return insert_hashed(gene); });
  if (placed > n_free) return placed;
  // Once the listed positions were all taken, later genes went to the last one.
  if (placed == n_free && n_free > 0) child[to[n_free - 1]] = last_new;
  for (std::size_t t = placed; t < n_free; ++t) child[to[t]] = 0;
  return placed;
}

std::size_t GeneMarks::bytes() const noexcept {
  return stamps_.capacity() * sizeof(stamps_[0]) + keys_.capacity() * sizeof(keys_[0]);
}

void GeneMarks::release() noexcept {
  stamps_ = std::vector<std::uint32_t>();  // not `= {}`, which keeps the capacity
  keys_ = std::vector<Gene>();
  stamp_ = 0;
}

}  // namespace genetic
