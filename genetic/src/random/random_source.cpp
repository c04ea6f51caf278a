#include "random/random_source.hpp"

#include <algorithm>
#include <atomic>
#include <span>

#include "fault.hpp"
#include "fork_hooks.hpp"
#include "random/entropy.hpp"

namespace genetic {
namespace {

std::uint64_t splitmix64(std::uint64_t& x) noexcept {
  std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

using State = std::uint64_t[4][RandomSource::kLanes];
// One word of each lane's state, or one step's output of every lane.
__extension__ typedef std::uint64_t Lanes __attribute__((vector_size(sizeof(std::uint64_t) * RandomSource::kLanes)));

// No xoshiro256 lane may start from the all-zero state.
void ensure_nonzero(State& state) noexcept {
  for (std::size_t lane = 0; lane < RandomSource::kLanes; ++lane) {
    if ((state[0][lane] | state[1][lane] | state[2][lane] | state[3][lane]) == 0) {
      state[0][lane] = 0x9e3779b97f4a7c15ULL + lane;
    }
  }
}

// Appends `width` (at most 64) bits to a bit array whose words past `at` are zero.
inline void append_bits(std::uint64_t* bits, std::size_t& at, std::uint64_t value, std::size_t width) noexcept {
  const std::size_t word = at / 64;
  const std::size_t shift = at % 64;
  bits[word] |= value << shift;
  if (shift + width > 64) bits[word + 1] |= value >> (64 - shift);
  at += width;
}

// Forks this process has gone through, counted in each child as it starts: a source
// made under an older count holds a stream another process holds too.
constinit std::atomic<std::uint64_t> forks{0};
void count_fork() noexcept { forks.fetch_add(1, std::memory_order_relaxed); }
[[maybe_unused]] const bool fork_counted = at_fork(nullptr, nullptr, &count_fork);

}  // namespace

RandomSource RandomSource::from_os(std::uint64_t blocks_between_rekeys) {
  RandomSource source;
  if (!fill_from_os(std::as_writable_bytes(std::span(source.state_)))) {
    fault("the operating system supplied no random seed bytes");
  }
  ensure_nonzero(source.state_);
  source.from_os_ = true;
  source.forks_seen_ = forks.load(std::memory_order_relaxed);
  source.rekey_blocks_ = std::max<std::uint64_t>(blocks_between_rekeys, 1);
  source.blocks_until_rekey_ = source.rekey_blocks_;
  return source;
}

RandomSource RandomSource::from_seed(std::uint64_t seed) {
  RandomSource source;
  // Lane by lane, each lane's four words in order.
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    for (auto& word : source.state_) word[lane] = splitmix64(seed);
  }
  ensure_nonzero(source.state_);
  return source;
}

void RandomSource::refill() noexcept {
  if (from_os_ && (forks_seen_ != forks.load(std::memory_order_relaxed) || --blocks_until_rekey_ == 0)) [[unlikely]] {
    rekey();
  }
  // xoshiro256++, the four lanes side by side: one vector step is one step of every
  // lane, and its output is that step's four words of the block in lane order. The
  // compiler lowers the vector type to whatever vector registers the target has.
  Lanes s0, s1, s2, s3;
  std::memcpy(&s0, state_[0], sizeof s0);
  std::memcpy(&s1, state_[1], sizeof s1);
  std::memcpy(&s2, state_[2], sizeof s2);
  std::memcpy(&s3, state_[3], sizeof s3);
  for (std::size_t step = 0; step < kSteps; ++step) {
    const Lanes sum = s0 + s3;
    const Lanes output = ((sum << 23) | (sum >> 41)) + s0;
    std::memcpy(halves_ + 2 * kLanes * step, &output, sizeof output);
    const Lanes t = s1 << 17;
    s2 ^= s0;
    s3 ^= s1;
    s1 ^= s2;
    s0 ^= s3;
    s2 ^= t;
    s3 = (s3 << 45) | (s3 >> 19);
  }
  std::memcpy(state_[0], &s0, sizeof s0);
  std::memcpy(state_[1], &s1, sizeof s1);
  std::memcpy(state_[2], &s2, sizeof s2);
  std::memcpy(state_[3], &s3, sizeof s3);
  next_ = 0;
}

std::uint64_t RandomSource::next_u64_across() noexcept {
  const std::uint64_t low = next_u32();
  return low | (std::uint64_t{next_u32()} << 32);
}

void RandomSource::rekey() noexcept {
  // Mixed into the state rather than replacing it; a failed read leaves the state as it is.
  State fresh;
  if (fill_from_os(std::as_writable_bytes(std::span(fresh)))) {
    for (std::size_t w = 0; w < 4; ++w) {
      for (std::size_t lane = 0; lane < kLanes; ++lane) state_[w][lane] ^= fresh[w][lane];
    }
    ensure_nonzero(state_);
  }
  blocks_until_rekey_ = rekey_blocks_;
  forks_seen_ = forks.load(std::memory_order_relaxed);
}

void RandomSource::rekey_if_forked() noexcept {
  if (!from_os_ || forks_seen_ == forks.load(std::memory_order_relaxed)) return;
  rekey();
  next_ = kHalves;  // the rest of the block is the parent's too
}

void RandomSource::top_bits_clear(std::uint64_t* bits, std::size_t count) noexcept {
  std::fill(bits, bits + (count + 63) / 64, std::uint64_t{0});
  std::size_t at = 0;
  while (at < count) {
    if (next_ == kHalves) refill();
    // Up to 64 words of the block at a time, gathered into one word of bits.
    const std::size_t take = std::min({count - at, kHalves - next_, std::size_t{64}});
    const std::uint32_t* const from = halves_ + next_;
    // A flag byte a word, then eight flags a multiply: each 0/1 byte lands on its own bit
    // of the top byte, with no carries between them.
    std::uint8_t flags[64] = {};
    for (std::size_t k = 0; k < take; ++k) flags[k] = static_cast<std::uint8_t>(~from[k] >> 31);
    std::uint64_t clear = 0;
    for (std::size_t k = 0; k < take; k += 8) {
      std::uint64_t eight;
      std::memcpy(&eight, flags + k, sizeof eight);
      clear |= ((eight * 0x0102040810204080ULL) >> 56) << k;
    }
    append_bits(bits, at, clear, take);
    next_ += take;
  }
}

std::uint64_t RandomSource::first_draw_below(std::uint64_t below, std::uint64_t from, std::uint64_t to) noexcept {
  std::uint64_t i = from;
  while (i < to) {
    if (next_ + 2 > kHalves) {
      if ((next_u64_across() >> 11) < below) return i;
      ++i;
      continue;
    }
    // The draws left whole in this block, read in place.
    const std::uint64_t whole = std::min<std::uint64_t>(to - i, (kHalves - next_) / 2);
    const std::uint32_t* const at = halves_ + next_;
    for (std::uint64_t k = 0; k < whole; ++k) {
      std::uint64_t draw;
      std::memcpy(&draw, at + 2 * k, sizeof draw);
      if ((draw >> 11) < below) {
        next_ += 2 * (k + 1);
        return i + k;
      }
    }
    next_ += 2 * whole;
    i += whole;
  }
  return to;
}

std::shared_ptr<RandomSource> thread_random_source() {
  thread_local std::shared_ptr<RandomSource> source;
  if (!source) source = std::make_shared<RandomSource>(RandomSource::from_os());
  source->rekey_if_forked();
  return source;
}

}  // namespace genetic
