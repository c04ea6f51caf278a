#pragma once
// The pseudo-random stream every draw of a run comes from: one per thread, keyed
// from the operating system and rekeyed from it now and then. Concrete and final,
// so that draws inline into the operators' loops.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include "fault.hpp"

namespace genetic {

// The stream is read as 32-bit halves of the generator's 64-bit outputs in memory.
static_assert(std::endian::native == std::endian::little, "the stream's halves are read in little-endian order");

class RandomSource final {
 public:
  // Keyed from the operating system, and rekeyed from it after every
  // `blocks_between_rekeys` blocks of output; a Fault when it supplies no seed bytes.
  static RandomSource from_os(std::uint64_t blocks_between_rekeys = kRekeyBlocks);
  // A fixed stream, for tests only: the Python side never gets one.
  static RandomSource from_seed(std::uint64_t seed);

  // The stream is a sequence of 32-bit words: each 64-bit output of the generator
  // gives its low half first, then its high half. The outputs come a block at a
  // time, so a draw is a read from the block and a refill is rare.
  std::uint32_t next_u32() noexcept {
    if (next_ == kHalves) [[unlikely]]
      refill();
    return halves_[next_++];
  }
  // The next two 32-bit words of the stream, the first as the low half.
  std::uint64_t next_u64() noexcept {
    if (next_ + 2 > kHalves) [[unlikely]]
      return next_u64_across();
    std::uint64_t word;
    std::memcpy(&word, halves_ + next_, sizeof word);
    next_ += 2;
    return word;
  }
  // One bit per 32-bit word of the stream, `count` of them: bit k of `bits` (64 a
  // word, from the low end) is set when the top bit of the k-th word is clear. The
  // same draws as `count` calls of next_u32; bits past `count` in its last word are 0.
  void top_bits_clear(std::uint64_t* bits, std::size_t count) noexcept;
  // Draws next_u64 for positions `from`, `from` + 1, ... before `to` and stops after
  // the first whose top 53 bits are below `below`, returning that position (`to` when
  // none is): the same draws as that loop of next_u64 calls.
  std::uint64_t first_draw_below(std::uint64_t below, std::uint64_t from, std::uint64_t to) noexcept;
  // The top 53 bits of next_u64 scaled by 2^-53: in [0, 1), never 1.0.
  double uniform_f64() noexcept { return static_cast<double>(next_u64() >> 11) * 0x1.0p-53; }
  // Uniform in [low, high); a Fault "cannot sample empty range" when low >= high.
  std::uint64_t uniform_index(std::uint64_t low, std::uint64_t high) {
    if (low >= high) [[unlikely]]
      fault(kEmptyRange);
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
    if (amount > length) [[unlikely]]
      fault("cannot sample more distinct indices than the range holds");
    std::vector<std::uint64_t, Allocator> indices(length);
    std::iota(indices.begin(), indices.end(), std::uint64_t{0});
    // A partial Fisher-Yates shuffle: position i takes a uniform pick of what is left.
    for (std::uint64_t i = 0; i < amount; ++i) std::swap(indices[i], indices[uniform_index(i, length)]);
    indices.resize(amount);
    return indices;
  }

  // A source keyed from the operating system rekeys from it before its next draw when
  // the process was forked since its last keying, so a forked child and its parent never
  // draw the same stream. Every refill checks this too, for handles held across a fork.
  void rekey_if_forked() noexcept;

  // The generator: four independent xoshiro256++ lanes (small state, fast, well
  // studied). A block holds kSteps steps, the four lanes' outputs of a step in lane order.
  static constexpr std::size_t kLanes = 4;
  static constexpr std::size_t kSteps = 16;
  static constexpr std::size_t kBlockWords = kLanes * kSteps;
  // Output of one generator between two rekeyings: 2^17 blocks, 64 MiB.
  static constexpr std::uint64_t kRekeyBlocks = std::uint64_t{1} << 17;

 private:
  __extension__ typedef unsigned __int128 Wide;
  static constexpr std::size_t kHalves = 2 * kBlockWords;
  using State = std::uint64_t[4][kLanes];

  RandomSource() = default;
  // The next block of outputs, read from its start; rekeys when that is due.
  void refill() noexcept;
  std::uint64_t next_u64_across() noexcept;
  [[gnu::cold]] void rekey() noexcept;

  State state_ = {};  // state_[w][lane]: word w of each lane's state
  std::uint32_t halves_[kHalves] = {};
  std::size_t next_ = kHalves;  // the next half of the block to draw; kHalves when it is used up
  std::uint64_t blocks_until_rekey_ = 0;
  std::uint64_t rekey_blocks_ = kRekeyBlocks;
  std::uint64_t forks_seen_ = 0;  // the process's fork count at the last keying
  bool from_os_ = false;
};

// The calling thread's source, created on first use; the handle keeps it alive for a run.
std::shared_ptr<RandomSource> thread_random_source();

}  // namespace genetic
