#pragma once
// Counting by bit lines, 256 bits at a time. The set of passed genes lives in vector
// registers (a line of at most 16 words is four of them), each AND is counted by the
// nibble-table method into per-lane sums, and the sums stay in a vector until the
// chromosome is done, so a gene costs a handful of vector operations per 256 genes of
// the line instead of four popcounts and adds. Only the fixed line lengths take this
// path; everything here must be inlined into a function compiled for AVX2.
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "evaluator/mark_matrix.hpp"
#include "kinds.hpp"
#include "population/chromosome.hpp"

#define GENETIC_AVX2_INLINE [[gnu::target("avx2,popcnt"), gnu::always_inline]] inline

namespace genetic::avx2 {

// The number of bits set in each byte of `x`.
GENETIC_AVX2_INLINE __m256i byte_counts(__m256i x) noexcept {
  const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4,  //
                                         0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i low = _mm256_set1_epi8(0x0f);
  const __m256i lo = _mm256_and_si256(x, low);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(x, 4), low);
  return _mm256_add_epi8(_mm256_shuffle_epi8(table, lo), _mm256_shuffle_epi8(table, hi));
}

// The bits set in both `line` and `seen`, as byte counts: at most 8 per block in a byte.
template <std::size_t Blocks>
GENETIC_AVX2_INLINE __m256i common_bytes(const std::uint64_t* line, const __m256i* seen) noexcept {
  __m256i bytes = _mm256_setzero_si256();
  for (std::size_t b = 0; b < Blocks; ++b) {
    const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + 4 * b));
    bytes = _mm256_add_epi8(bytes, byte_counts(_mm256_and_si256(words, seen[b])));
  }
  return bytes;
}

// The same as four 64-bit partial sums (each below 2^11).
template <std::size_t Blocks>
GENETIC_AVX2_INLINE __m256i common_lanes(const std::uint64_t* line, const __m256i* seen) noexcept {
  return _mm256_sad_epu8(common_bytes<Blocks>(line, seen), _mm256_setzero_si256());
}

// Block k of this table has only bit k set: one load gives a gene's bit within its
// block of 256 (8 KiB, so it stays in the first-level cache through a run).
struct OneHotBlocks {
  alignas(32) std::uint64_t words[256][4];
};
inline constexpr OneHotBlocks kOneHot = [] {
  OneHotBlocks table{};
  for (std::size_t k = 0; k < 256; ++k) table.words[k][k / 64] = std::uint64_t{1} << (k % 64);
  return table;
}();

template <std::size_t Blocks>
GENETIC_AVX2_INLINE __m256i block_bit(Gene gene) noexcept {
  // A line of one block holds only genes below 256.
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(kOneHot.words[Blocks == 1 ? gene : gene % 256]));
}

// Only the gene's own block changes (the caller has checked it lies in the line).
template <std::size_t Blocks>
GENETIC_AVX2_INLINE void add_gene(Gene gene, __m256i* seen) noexcept {
  __m256i& block = seen[Blocks == 1 ? 0 : gene / 256];
  block = _mm256_or_si256(block, block_bit<Blocks>(gene));
}

template <std::size_t Blocks>
GENETIC_AVX2_INLINE void drop_gene(Gene gene, __m256i* seen) noexcept {
  __m256i& block = seen[Blocks == 1 ? 0 : gene / 256];
  block = _mm256_andnot_si256(block_bit<Blocks>(gene), block);
}

GENETIC_AVX2_INLINE std::uint64_t lanes_total(__m256i x) noexcept {
  const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(half)) + static_cast<std::uint64_t>(_mm_extract_epi64(half, 1));
}

template <std::size_t Blocks>
GENETIC_AVX2_INLINE std::uint64_t bits_in(const __m256i* seen) noexcept {
  __m256i bytes = _mm256_setzero_si256();
  for (std::size_t b = 0; b < Blocks; ++b) bytes = _mm256_add_epi8(bytes, byte_counts(seen[b]));
  return lanes_total(_mm256_sad_epu8(bytes, _mm256_setzero_si256()));
}

// Per bit position, `carry` takes the high bit and `sum` the low bit of a + b + c.
GENETIC_AVX2_INLINE void carry_save(__m256i& carry, __m256i& sum, __m256i a, __m256i b, __m256i c) noexcept {
  const __m256i u = _mm256_xor_si256(a, b);
  carry = _mm256_or_si256(_mm256_and_si256(a, b), _mm256_and_si256(u, c));
  sum = _mm256_xor_si256(u, c);
}

// The bits set in a stream of vectors, taken four at a time: two levels of carry-save
// addition fold them into running `ones` and `twos`, and only the carries of weight
// four are counted by table, so a vector costs about five logic operations instead of
// a table count of its own.
class BitTally {
 public:
  GENETIC_AVX2_INLINE BitTally() noexcept
      : ones_(_mm256_setzero_si256()),
        twos_(_mm256_setzero_si256()),
        fours_bytes_(_mm256_setzero_si256()),
        fours_(_mm256_setzero_si256()) {}

  GENETIC_AVX2_INLINE void add4(__m256i a, __m256i b, __m256i c, __m256i d) noexcept {
    __m256i twos_a, twos_b, fours;
    carry_save(twos_a, ones_, ones_, a, b);
    carry_save(twos_b, ones_, ones_, c, d);
    carry_save(fours, twos_, twos_, twos_a, twos_b);
    fours_bytes_ = _mm256_add_epi8(fours_bytes_, byte_counts(fours));
    // A byte gains at most 8 per step: widen before it could pass 255.
    if (++pending_ == 31) flush();
  }
  GENETIC_AVX2_INLINE std::uint64_t total() noexcept {
    flush();
    __m256i low = _mm256_add_epi8(byte_counts(twos_), byte_counts(twos_));
    low = _mm256_add_epi8(low, byte_counts(ones_));
    return 4 * lanes_total(fours_) + lanes_total(_mm256_sad_epu8(low, _mm256_setzero_si256()));
  }

 private:
  GENETIC_AVX2_INLINE void flush() noexcept {
    fours_ = _mm256_add_epi64(fours_, _mm256_sad_epu8(fours_bytes_, _mm256_setzero_si256()));
    fours_bytes_ = _mm256_setzero_si256();
    pending_ = 0;
  }

  __m256i ones_;
  __m256i twos_;
  __m256i fours_bytes_;
  __m256i fours_;  // 64-bit lanes
  unsigned pending_ = 0;
};

// `total` plus `factor` times each lane of `lanes`. The lanes are below 2^32, and so
// is `factor` whenever the count is used: the genes are then distinct and below the
// dimension of a fixed-length line.
GENETIC_AVX2_INLINE __m256i add_scaled(__m256i total, __m256i lanes, std::uint64_t factor) noexcept {
  return _mm256_add_epi64(total, _mm256_mul_epu32(lanes, _mm256_set1_epi64x(static_cast<long long>(factor))));
}

// The same result as count_with_lines for a line of `Words` words (a multiple of 4, at most 16).
template <EvaluatorKind Kind, std::size_t Words>
GENETIC_AVX2_INLINE bool count_vectors(const MarkMatrix& matrix, std::span<const Gene> genes,
                                     std::uint64_t& count) noexcept {
  constexpr std::size_t Blocks = Words / 4;
  const std::size_t n = genes.size();
  const std::uint64_t dimension = matrix.dimension();
  const std::uint64_t* const rows = matrix.row_line(0);
  const std::uint64_t* const columns = matrix.column_line(0);
  __m256i seen[Blocks];
  for (std::size_t b = 0; b < Blocks; ++b) seen[b] = _mm256_setzero_si256();

  if constexpr (Kind == EvaluatorKind::FeedbackMarks) {
    // Genes go in groups whose AND vectors come in fours, for the tally.
    constexpr std::size_t kGroup = Blocks % 4 == 0 ? 1 : Blocks % 2 == 0 ? 2 : 4;
    constexpr std::size_t kVectors = kGroup * Blocks;
    BitTally tally;
    std::size_t j = 0;
    for (; j + kGroup <= n; j += kGroup) {
      __m256i common[kVectors];
      for (std::size_t g = 0; g < kGroup; ++g) {
        const Gene gene = genes[j + g];
        if (gene >= dimension) return false;
        const std::uint64_t* const line = columns + gene * Words;
        for (std::size_t b = 0; b < Blocks; ++b) {
          const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + 4 * b));
          common[g * Blocks + b] = _mm256_and_si256(words, seen[b]);
        }
        add_gene<Blocks>(gene, seen);
      }
      for (std::size_t v = 0; v < kVectors; v += 4) tally.add4(common[v], common[v + 1], common[v + 2], common[v + 3]);
    }
    // The last genes, fewer than a group, counted by table one by one.
    __m256i rest = _mm256_setzero_si256();
    for (; j < n; ++j) {
      const Gene gene = genes[j];
      if (gene >= dimension) return false;
      rest = _mm256_add_epi8(rest, common_bytes<Blocks>(columns + gene * Words, seen));
      add_gene<Blocks>(gene, seen);
    }
    if (bits_in<Blocks>(seen) != n) return false;
    count = tally.total() + lanes_total(_mm256_sad_epu8(rest, _mm256_setzero_si256()));
    return true;
  } else if constexpr (Kind == EvaluatorKind::FeedbackDistance) {
    __m256i later = _mm256_setzero_si256();
    for (std::size_t j = 0; j < n; ++j) {
      const Gene gene = genes[j];
      if (gene >= dimension) return false;
      later = add_scaled(later, common_lanes<Blocks>(columns + gene * Words, seen), j);
      add_gene<Blocks>(gene, seen);
    }
    if (bits_in<Blocks>(seen) != n) return false;
    __m256i earlier = _mm256_setzero_si256();
    for (std::size_t i = 0; i < n; ++i) {
      const Gene gene = genes[i];
      drop_gene<Blocks>(gene, seen);
      earlier = add_scaled(earlier, common_lanes<Blocks>(rows + gene * Words, seen), i);
    }
    count = lanes_total(later) - lanes_total(earlier);
    return true;
  } else {
    static_assert(Kind == EvaluatorKind::LowerLeftDistance);
    for (const Gene gene : genes) {
      if (gene >= dimension) return false;
      add_gene<Blocks>(gene, seen);
    }
    if (bits_in<Blocks>(seen) != n) return false;
    std::uint64_t weight = 0;
    if (n == dimension) {
      for (std::size_t i = 0; i < n; ++i) {
        const Gene gene = genes[i];
        weight += (n - 1 - i) * matrix.row_marks(gene) + i * matrix.column_marks(gene);
      }
    } else {
      __m256i total = _mm256_setzero_si256();
      for (std::size_t i = 0; i < n; ++i) {
        const Gene gene = genes[i];
        total = add_scaled(total, common_lanes<Blocks>(rows + gene * Words, seen), n - 1 - i);
        total = add_scaled(total, common_lanes<Blocks>(columns + gene * Words, seen), i);
      }
      weight = lanes_total(total);
    }
    count = weight;
    return true;
  }
}

// What count found: the count; a sequence the pairwise loop decides (repeated genes,
// genes outside the matrix, fewer than two genes); or a line length this file does
// not handle, which the scalar loops count.
struct LineCount {
  enum class Outcome : std::uint8_t { Counted, NeedsPairwise, OtherLength };
  Outcome outcome;
  std::uint64_t count;
};

// As bit_parallel_count, for the line lengths this file handles.
template <EvaluatorKind Kind>
GENETIC_AVX2_INLINE LineCount count(const MarkMatrix& matrix, std::span<const Gene> genes) noexcept {
  if (genes.size() < 2) return {LineCount::Outcome::NeedsPairwise, 0};
  std::uint64_t total = 0;
  bool counted = false;
  switch (matrix.words()) {
    case 4:
      counted = count_vectors<Kind, 4>(matrix, genes, total);
      break;
    case 8:
      counted = count_vectors<Kind, 8>(matrix, genes, total);
      break;
    case 12:
      counted = count_vectors<Kind, 12>(matrix, genes, total);
      break;
    case 16:
      counted = count_vectors<Kind, 16>(matrix, genes, total);
      break;
    default:
      return {LineCount::Outcome::OtherLength, 0};
  }
  return {counted ? LineCount::Outcome::Counted : LineCount::Outcome::NeedsPairwise, total};
}

}  // namespace genetic::avx2

#undef GENETIC_AVX2_INLINE
#endif
