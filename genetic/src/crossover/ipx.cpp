#include "crossover/ipx.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crossover/gene_marks.hpp"
#include "fault.hpp"

namespace genetic {
namespace {

[[noreturn, gnu::cold]] void fault_kept_beyond(std::size_t position, std::size_t b_length) {
  fault("index out of range: IPX keeps position " + std::to_string(position) + " but the second parent has only " +
        std::to_string(b_length) + " genes");
}

[[noreturn, gnu::cold]] void fault_no_free_position(std::size_t length) {
  fault("index out of range: IPX has more genes to place than free positions in a child of " + std::to_string(length) +
        " genes (the parents are not orderings of the same values)");
}

// Buffers reused by every crossing on this thread. Those of a long chromosome are given
// back after its crossing, so a thread keeps at most kKeptBytes between crossings: a
// crossing that large allocates its children anyway, and its own work dwarfs the rest.
struct Scratch {
  static constexpr std::size_t kKeptBytes = std::size_t{1} << 20;

  GeneMarks first;   // the genes placed in the first child
  GeneMarks second;  // and in the second
  std::vector<std::size_t> free_positions;
  std::vector<std::uint64_t> kept_bits;  // the keep-mask, 64 positions a word

  // Room for the keep-mask of `length` positions.
  std::uint64_t* keep_bits(std::size_t length) {
    if (kept_bits.size() < (length + 63) / 64) kept_bits.resize((length + 63) / 64);
    return kept_bits.data();
  }
  std::size_t bytes() const noexcept {
    return first.bytes() + second.bytes() + free_positions.capacity() * sizeof(std::size_t) +
           kept_bits.capacity() * sizeof(std::uint64_t);
  }
  void trim() noexcept {
    if (bytes() <= kKeptBytes) return;
    first.release();
    second.release();
    free_positions = std::vector<std::size_t>();  // not `= {}`, which keeps the capacity
    kept_bits = std::vector<std::uint64_t>();
  }
};

thread_local Scratch scratch;

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

// The children for a keep-mask given as bits (bits past A's length are 0). They are
// built in place: each starts as a copy of its own parent, and the fill writes every
// free position, so only the kept genes of the copy remain.
std::pair<Genes, Genes> children_from_bits(Scratch& s, const std::uint64_t* bits, std::span<const Gene> a,
                                           std::span<const Gene> b) {
  const std::size_t length = a.size();
  const std::size_t common = std::min(length, b.size());
  for (std::size_t i = common; i < length; ++i) {
    if (bit_at(bits, i)) [[unlikely]]
      fault_kept_beyond(i, b.size());
  }

  // The free positions in order, then room for every donor gene past them (see fill).
  const std::size_t listed = std::max(length, b.size()) + 1;
  if (s.free_positions.size() < listed) s.free_positions.resize(listed);
  std::size_t* const free_positions = s.free_positions.data();
  std::size_t n_free = 0;
  for (std::size_t w = 0; w * 64 < length; ++w) {
    const std::size_t width = std::min<std::size_t>(64, length - w * 64);
    const std::uint64_t in_line = width == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
    for (std::uint64_t free = ~bits[w] & in_line; free != 0; free &= free - 1) {
      free_positions[n_free++] = w * 64 + static_cast<std::size_t>(std::countr_zero(free));
    }
  }

  Genes child1(length);
  Genes child2(length);
  std::copy_n(a.data(), length, child1.data());  // plain memory copies: a list's own range copy goes gene by gene
  std::copy_n(b.data(), common, child2.data());
  // With every position kept, nothing may be new in a donor: its genes go to a sink.
  Gene sink = 0;
  Gene* const into1 = n_free == 0 ? &sink : child1.data();
  Gene* const into2 = n_free == 0 ? &sink : child2.data();
  std::fill(free_positions + n_free, free_positions + listed, n_free == 0 ? 0 : free_positions[n_free - 1]);

  const Gene bound = gene_bound(a, b);
  const std::size_t max_entries = length + b.size();
  s.first.reset(bound, max_entries);
  s.second.reset(bound, max_entries);
  GeneMarks::insert_kept(bits, length, s.first, a, s.second, b);
  if (s.first.fill(into1, free_positions, n_free, b) > n_free) fault_no_free_position(length);
  if (s.second.fill(into2, free_positions, n_free, a) > n_free) fault_no_free_position(length);
  return {std::move(child1), std::move(child2)};
}

// The children, with the buffers trimmed after them whether they were made or a fault ended them.
template <class DrawBits>
std::pair<Genes, Genes> cross(std::size_t length, std::span<const Gene> a, std::span<const Gene> b, DrawBits draw) {
  struct Trim {
    ~Trim() { scratch.trim(); }
  } trim_after;
  std::uint64_t* const bits = scratch.keep_bits(length);
  draw(bits);
  return children_from_bits(scratch, bits, a, b);
}

}  // namespace

std::pair<Genes, Genes> ipx_children(std::span<const bool> keep, std::span<const Gene> a, std::span<const Gene> b) {
  return cross(keep.size(), a, b, [keep](std::uint64_t* bits) {
    std::fill(bits, bits + (keep.size() + 63) / 64, std::uint64_t{0});
    for (std::size_t i = 0; i < keep.size(); ++i) bits[i / 64] |= std::uint64_t{keep[i]} << (i % 64);
  });
}

std::pair<Genes, Genes> IpxCrossover::cross_genes(RandomSource& rng, std::span<const Gene> a,
                                                  std::span<const Gene> b) const {
  // One next_u32 per position, drawn in one pass straight into bits.
  return cross(a.size(), a, b, [&rng, n = a.size()](std::uint64_t* bits) { rng.top_bits_clear(bits, n); });
}

std::size_t ipx_scratch_bytes() noexcept { return scratch.bytes(); }

}  // namespace genetic
