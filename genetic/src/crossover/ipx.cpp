#include "crossover/ipx.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crossover/gene_marks.hpp"
#include "fault.hpp"

namespace genetic {
namespace {

[[noreturn, gnu::cold]] void fault_kept_beyond(std::size_t position, std::size_t b_length) {
  fault("index out of range: IPX keeps position " + std::to_string(position) +
        " but the second parent has only " + std::to_string(b_length) + " genes");
}

[[noreturn, gnu::cold]] void fault_no_free_position(std::size_t length) {
  fault("index out of range: IPX has more genes to place than free positions in a child of " +
        std::to_string(length) + " genes (the parents are not orderings of the same values)");
}

// Buffers reused by every crossing on this thread; they only ever grow.
struct Scratch {
  GeneMarks marks;
  std::vector<std::size_t> free_positions;
  std::vector<std::uint64_t> kept_bits;  // the keep-mask, 64 positions a word
  std::vector<Gene> fresh;
  // The small-value path's two sets, S1 then S2, one stamp per value and a spare slot
  // each that takes the stamps of positions not kept.
  std::vector<std::uint32_t> stamps;
  std::uint32_t stamp = 0;

  // Empties both sets for values below `bound`; returns their common stamp.
  std::uint32_t reset_stamps(std::size_t bound) {
    if (stamps.size() < 2 * (bound + 1)) stamps.resize(2 * (bound + 1), 0);
    if (++stamp == 0) {
      // After 2^32 resets old stamps could match again: clear them once.
      std::fill(stamps.begin(), stamps.end(), 0);
      stamp = 1;
    }
    return stamp;
  }

  // Room for the keep-mask of `length` positions.
  std::uint64_t* keep_bits(std::size_t length) {
    if (kept_bits.size() < (length + 63) / 64) kept_bits.resize((length + 63) / 64);
    return kept_bits.data();
  }
};

Scratch& scratch() {
  thread_local Scratch instance;
  return instance;
}

// An upper bound of every gene of both parents (at most twice the largest): an OR
// needs no compare, so it runs over whole vector registers.
Gene gene_bound(std::span<const Gene> a, std::span<const Gene> b) {
  Gene bits = 0;
#pragma GCC unroll 4
  for (const Gene gene : a) bits |= gene;
#pragma GCC unroll 4
  for (const Gene gene : b) bits |= gene;
  return bits;
}

// Inserts the donor's genes into the set whose stamps are `set`, and places those that
// were new, in donor order, at the free positions in position order. Every gene is
// written at the next free position whether new or not (a gene that was not new is
// overwritten by the next new one), so no branch hangs on the set test. Once the free
// positions are all taken, `to` repeats the last one up to the donor's length, and the
// last new gene is written there again at the end. Positions left without a gene are
// set to 0. There must be at least one free position.
// The buffers never overlap one another or the parents, which the loops tell the compiler.
void fill_from_donor(Gene* __restrict child, std::size_t length, const std::size_t* __restrict to,
                     std::size_t n_free, std::span<const Gene> donor, std::uint32_t* __restrict set,
                     std::uint32_t stamp) {
  const Gene* __restrict const from = donor.data();
  const std::size_t n = donor.size();
  std::size_t placed = 0;
  Gene last_new = 0;
#pragma GCC unroll 4
  for (std::size_t k = 0; k < n; ++k) {
    const Gene gene = from[k];
    const bool is_new = set[gene] != stamp;
    set[gene] = stamp;
    child[to[placed]] = gene;
    last_new = is_new ? gene : last_new;
    placed += is_new ? 1 : 0;
  }
  if (placed > n_free) [[unlikely]] fault_no_free_position(length);
  if (placed == n_free) child[to[n_free - 1]] = last_new;
  for (std::size_t t = placed; t < n_free; ++t) child[to[t]] = 0;
}

// Every position kept, so nothing may be new in the donor: only the set test runs.
void check_donor_adds_nothing(std::size_t length, std::span<const Gene> donor, const std::uint32_t* set,
                              std::uint32_t stamp) {
  for (const Gene gene : donor) {
    if (set[gene] != stamp) fault_no_free_position(length);
  }
}

// The keep-mask as bits, 64 positions a word; bits past the mask's end are 0.
void pack_keep_bits(std::span<const bool> keep, std::uint64_t* __restrict bits) {
  const bool* __restrict const kept_at = keep.data();
  const std::size_t n = keep.size();
  std::size_t w = 0;
#ifdef __SSE2__
  // A bool is 0 or 1: shifted to the top of its byte, sixteen of them make one movemask.
  for (; w * 64 + 64 <= n; ++w) {
    std::uint64_t word = 0;
    for (std::size_t q = 0; q < 4; ++q) {
      const __m128i flags = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kept_at + w * 64 + q * 16));
      word |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_slli_epi64(flags, 7)) & 0xffff) << (q * 16);
    }
    bits[w] = word;
  }
#endif
  for (; w * 64 < n; ++w) {
    const std::size_t end = std::min(n, w * 64 + 64);
    std::uint64_t word = 0;
    for (std::size_t i = w * 64; i < end; ++i) word |= static_cast<std::uint64_t>(kept_at[i]) << (i % 64);
    bits[w] = word;
  }
}

// The same children as the general path below when every gene is below `bound`: both
// kept sets are stamp arrays indexed by value. The coin flips are packed into bits, so
// the kept positions' stamps visit set bits only and the list of free positions clear
// bits only, with no branch on a single flip.
std::pair<Genes, Genes> small_value_children(Scratch& s, std::size_t bound, const std::uint64_t* __restrict bits,
                                             std::span<const Gene> a, std::span<const Gene> b) {
  const std::size_t length = a.size();
  const std::size_t common = std::min(length, b.size());
  const std::uint32_t stamp = s.reset_stamps(bound);
  std::uint32_t* __restrict const set1 = s.stamps.data();
  std::uint32_t* __restrict const set2 = set1 + bound + 1;
  std::size_t* __restrict const free_positions = s.free_positions.data();
  const Gene* __restrict const pa = a.data();
  const Gene* __restrict const pb = b.data();

  // The children are built in place. Each starts as a copy of its own parent: the
  // fill below writes every free position, so only the kept genes of the copy remain.
  // Nothing is kept beyond the second parent (checked by the caller).
  Genes child1(length);
  Genes child2(length);
  Gene* __restrict const c1 = child1.data();
  Gene* __restrict const c2 = child2.data();
  std::copy_n(pa, length, c1);  // plain memory copies: a list's own range copy goes gene by gene
  std::copy_n(pb, common, c2);

  const std::size_t n_words = (length + 63) / 64;
  std::size_t n_free = 0;
  for (std::size_t w = 0; w < n_words; ++w) {
    for (std::uint64_t kept = bits[w]; kept != 0; kept &= kept - 1) {
      const std::size_t i = w * 64 + static_cast<std::size_t>(std::countr_zero(kept));
      set1[pa[i]] = stamp;
      set2[pb[i]] = stamp;
    }
    const std::size_t width = std::min<std::size_t>(64, length - w * 64);
    const std::uint64_t in_line = width == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
    for (std::uint64_t free = ~bits[w] & in_line; free != 0; free &= free - 1) {
      free_positions[n_free++] = w * 64 + static_cast<std::size_t>(std::countr_zero(free));
    }
  }
  if (n_free == 0) [[unlikely]] {
    check_donor_adds_nothing(length, b, set1, stamp);
    check_donor_adds_nothing(length, a, set2, stamp);
    return {std::move(child1), std::move(child2)};
  }
  // Every donor gene may be written once the free positions run out: those writes
  // go to the last free position, so the fill needs no bound check per gene.
  std::fill(free_positions + n_free, free_positions + std::max(length, b.size()) + 1, free_positions[n_free - 1]);

  fill_from_donor(c1, length, free_positions, n_free, b, set1, stamp);
  fill_from_donor(c2, length, free_positions, n_free, a, set2, stamp);
  return {std::move(child1), std::move(child2)};
}

Gene max_gene(std::span<const Gene> a, std::span<const Gene> b) {
  Gene top = 0;
  for (const Gene gene : a) top = std::max(top, gene);
  for (const Gene gene : b) top = std::max(top, gene);
  return top;
}

// The donor's genes that `marks` does not hold yet, in donor order, go to the free
// positions in position order.
void fill_free(Genes& child, std::span<const std::size_t> free_positions, std::span<const Gene> donor,
               GeneMarks& marks, Gene* fresh) {
  const std::size_t placed = marks.insert_donor(donor, fresh);
  if (placed > free_positions.size()) [[unlikely]] fault_no_free_position(child.size());
  for (std::size_t t = 0; t < placed; ++t) child[free_positions[t]] = fresh[t];
}

// The children for a keep-mask given as bits (bits past A's length are 0).
std::pair<Genes, Genes> children_from_bits(Scratch& s, const std::uint64_t* bits, std::span<const Gene> a,
                                           std::span<const Gene> b) {
  const std::size_t length = a.size();
  const std::size_t common = std::min(length, b.size());
  for (std::size_t i = common; i < length; ++i) {
    if (bit_at(bits, i)) [[unlikely]] fault_kept_beyond(i, b.size());
  }

  const std::size_t longest = std::max(length, b.size());
  if (s.free_positions.size() < longest + 1) s.free_positions.resize(longest + 1);
  if (s.fresh.size() < longest) s.fresh.resize(longest);

  // Orderings of 0..n-1, the usual parents, take the stamp arrays; a value array stays
  // within a few times the chromosome length, larger values go to the hashed sets.
  const Gene bound = gene_bound(a, b);
  if (bound < 4 * (length + b.size()) + 64) return small_value_children(s, bound + 1, bits, a, b);

  // Kept positions take their own parent's gene; the others are listed as free.
  Genes child1(length, 0);
  Genes child2(length, 0);
  std::size_t n_free = 0;
  for (std::size_t i = 0; i < length; ++i) {
    s.free_positions[n_free] = i;
    n_free += bit_at(bits, i) ? 0 : 1;
  }
  for (std::size_t i = 0; i < common; ++i) {
    // All ones for a kept position, zero otherwise: no branch on a coin flip.
    const Gene take = Gene{0} - static_cast<Gene>(bit_at(bits, i));
    child1[i] = a[i] & take;
    child2[i] = b[i] & take;
  }
  const std::span<const std::size_t> free_positions(s.free_positions.data(), n_free);

  const Gene top = max_gene(a, b);
  const std::size_t max_entries = a.size() + b.size();

  s.marks.reset(top, max_entries);
  s.marks.insert_kept(bits, a);
  fill_free(child1, free_positions, b, s.marks, s.fresh.data());

  s.marks.reset(top, max_entries);
  s.marks.insert_kept(bits, b.first(common));
  fill_free(child2, free_positions, a, s.marks, s.fresh.data());

  return {std::move(child1), std::move(child2)};
}

}  // namespace

std::pair<Genes, Genes> ipx_children(std::span<const bool> keep, std::span<const Gene> a, std::span<const Gene> b) {
  Scratch& s = scratch();
  std::uint64_t* const bits = s.keep_bits(keep.size());
  pack_keep_bits(keep, bits);
  return children_from_bits(s, bits, a, b);
}

std::pair<Genes, Genes> IpxCrossover::cross_genes(RandomSource& rng, std::span<const Gene> a,
                                                  std::span<const Gene> b) const {
  Scratch& s = scratch();
  std::uint64_t* const bits = s.keep_bits(a.size());
  // One next_u32 per position, drawn in one pass straight into bits.
  rng.top_bits_clear(bits, a.size());
  return children_from_bits(s, bits, a, b);
}

}  // namespace genetic
