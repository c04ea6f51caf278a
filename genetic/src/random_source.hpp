#pragma once
// The pseudo-random stream every draw of a run comes from: one per thread, keyed
// from the operating system and rekeyed from it now and then. Concrete and final,
// so that draws inline into the operators' loops.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include "fault.hpp"

namespace genetic {

class RandomSource final {
 public:
  // Keyed from the operating system; a Fault when it supplies no seed bytes.
  static RandomSource from_os();
  // A fixed stream, for tests only: the Python side never gets one.
  static RandomSource from_seed(std::uint64_t seed);

  // The stream is a sequence of 32-bit words: each 64-bit output of the generator
  // gives its low half first, then its high half.
  std::uint32_t next_u32() noexcept {
    if (has_pending_) {
      has_pending_ = false;
      return pending_;
    }
    const std::uint64_t word = next_word64();
    pending_ = static_cast<std::uint32_t>(word >> 32);
    has_pending_ = true;
    return static_cast<std::uint32_t>(word);
  }
  // The next two 32-bit words of the stream, the first as the low half.
  std::uint64_t next_u64() noexcept {
    if (!has_pending_) return next_word64();
    const std::uint64_t low = pending_;
    const std::uint64_t word = next_word64();
    pending_ = static_cast<std::uint32_t>(word >> 32);
    return low | (word << 32);
  }
  // One flag per 32-bit word of the stream, `count` of them into `out`: whether the
  // word's top bit is clear. The same draws as `count` calls of next_u32, with the
  // state held in registers throughout (stores to `out` cannot be taken to change it).
  void top_bits_clear(bool* out, std::size_t count) noexcept;
  // Draws next_u64 for positions `from`, `from` + 1, ... before `to` and stops after
  // the first whose top 53 bits are below `below`, returning that position (`to` when
  // none is): the same draws as that loop of next_u64 calls, with the state in registers.
  std::uint64_t first_draw_below(std::uint64_t below, std::uint64_t from, std::uint64_t to) noexcept;
  // The top 53 bits of next_u64 scaled by 2^-53: in [0, 1), never 1.0.
  double uniform_f64() noexcept { return static_cast<double>(next_u64() >> 11) * 0x1.0p-53; }
  // Uniform in [low, high); a Fault "cannot sample empty range" when low >= high.
  std::uint64_t uniform_index(std::uint64_t low, std::uint64_t high) {
    if (low >= high) [[unlikely]] fault(kEmptyRange);
    // Lemire's multiply-shift with rejection: unbiased, one multiply in the common case.
    const std::uint64_t range = high - low;
    Wide product = static_cast<Wide>(next_u64()) * range;
    auto fraction = static_cast<std::uint64_t>(product);
    if (fraction < range) [[unlikely]] {
      const std::uint64_t threshold = (0 - range) % range;
      while (fraction < threshold) {
        product = static_cast<Wide>(next_u64()) * range;
        fraction = static_cast<std::uint64_t>(product);
      }
    }
    return low + static_cast<std::uint64_t>(product >> 64);
  }
  // `amount` distinct values of [0, length) in uniformly random order, in a vector
  // that takes its memory from `Allocator`.
  template <class Allocator = std::allocator<std::uint64_t>>
  std::vector<std::uint64_t, Allocator> sample_indices(std::uint64_t length, std::uint64_t amount) {
    if (amount > length) [[unlikely]] fault("cannot sample more distinct indices than the range holds");
    std::vector<std::uint64_t, Allocator> indices(length);
    std::iota(indices.begin(), indices.end(), std::uint64_t{0});
    // A partial Fisher-Yates shuffle: position i takes a uniform pick of what is left.
    for (std::uint64_t i = 0; i < amount; ++i) std::swap(indices[i], indices[uniform_index(i, length)]);
    indices.resize(amount);
    return indices;
  }

 private:
  __extension__ typedef unsigned __int128 Wide;

  RandomSource() = default;
  static constexpr std::uint64_t rotl(std::uint64_t x, int k) noexcept { return (x << k) | (x >> (64 - k)); }
  // One xoshiro256++ step (small state, fast, and well studied) on a state held in
  // the members or, for the bulk draws, in locals that stay in registers.
  static std::uint64_t step(std::uint64_t& s0, std::uint64_t& s1, std::uint64_t& s2, std::uint64_t& s3) noexcept {
    const std::uint64_t result = rotl(s0 + s3, 23) + s0;
    const std::uint64_t t = s1 << 17;
    s2 ^= s0;
    s3 ^= s1;
    s1 ^= s2;
    s0 ^= s3;
    s2 ^= t;
    s3 = rotl(s3, 45);
    return result;
  }
  std::uint64_t next_word64() noexcept {
    if (from_os_ && --until_rekey_ == 0) [[unlikely]] rekey();
    return step(state_[0], state_[1], state_[2], state_[3]);
  }
  // The state copied into locals for a loop of many draws and written back once;
  // it rekeys at the same points as next_word64.
  class Local;
  [[gnu::cold]] void rekey() noexcept;

  std::uint64_t state_[4] = {};
  std::uint64_t until_rekey_ = 0;
  std::uint32_t pending_ = 0;  // the high half of the last 64-bit output, not yet drawn
  bool has_pending_ = false;
  bool from_os_ = false;
};

// The calling thread's source, created on first use; the handle keeps it alive for a run.
std::shared_ptr<RandomSource> thread_random_source();

}  // namespace genetic
