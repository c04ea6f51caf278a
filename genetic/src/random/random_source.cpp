#include "random/random_source.hpp"

#include <algorithm>
#include <span>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "fault.hpp"
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

// No xoshiro256 lane may start from the all-zero state.
void ensure_nonzero(State& state) noexcept {
  for (std::size_t lane = 0; lane < RandomSource::kLanes; ++lane) {
    if ((state[0][lane] | state[1][lane] | state[2][lane] | state[3][lane]) == 0) {
      state[0][lane] = 0x9e3779b97f4a7c15ULL + lane;
    }
  }
}

// Four 64-bit lanes as one value; the compiler maps it to whatever vector
// registers the function it is inlined into is compiled for.
typedef std::uint64_t Lanes __attribute__((vector_size(32)));

// One block: kSteps xoshiro256++ steps of every lane, each step's outputs stored in
// lane order.
[[gnu::always_inline]] inline void generate(State& state, std::uint32_t* halves) noexcept {
  Lanes s0, s1, s2, s3;
  std::memcpy(&s0, state[0], sizeof s0);
  std::memcpy(&s1, state[1], sizeof s1);
  std::memcpy(&s2, state[2], sizeof s2);
  std::memcpy(&s3, state[3], sizeof s3);
  for (std::size_t step = 0; step < RandomSource::kSteps; ++step) {
    const Lanes sum = s0 + s3;
    const Lanes result = ((sum << 23) | (sum >> 41)) + s0;
    const Lanes t = s1 << 17;
    s2 ^= s0;
    s3 ^= s1;
    s1 ^= s2;
    s0 ^= s3;
    s2 ^= t;
    s3 = (s3 << 45) | (s3 >> 19);
    std::memcpy(halves + 2 * RandomSource::kLanes * step, &result, sizeof result);
  }
  std::memcpy(state[0], &s0, sizeof s0);
  std::memcpy(state[1], &s1, sizeof s1);
  std::memcpy(state[2], &s2, sizeof s2);
  std::memcpy(state[3], &s3, sizeof s3);
}

#if defined(__GNUC__) && defined(__x86_64__)
[[gnu::target("avx2")]] void generate_avx2(State& state, std::uint32_t* halves) noexcept { generate(state, halves); }

const bool kHasAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
#endif

void generate_baseline(State& state, std::uint32_t* halves) noexcept { generate(state, halves); }

// Appends `width` (at most 64) bits to a bit array whose words past `at` are zero.
inline void append_bits(std::uint64_t* bits, std::size_t& at, std::uint64_t value, std::size_t width) noexcept {
  const std::size_t word = at / 64;
  const std::size_t shift = at % 64;
  bits[word] |= value << shift;
  if (shift + width > 64) bits[word + 1] |= value >> (64 - shift);
  at += width;
}

}  // namespace

RandomSource RandomSource::from_os(std::uint64_t blocks_between_rekeys) {
  RandomSource source;
  if (!fill_from_os(std::as_writable_bytes(std::span(source.state_)))) {
    fault("the operating system supplied no random seed bytes");
  }
  ensure_nonzero(source.state_);
  source.from_os_ = true;
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
  if (from_os_ && --blocks_until_rekey_ == 0) [[unlikely]] rekey();
#if defined(__GNUC__) && defined(__x86_64__)
  if (kHasAvx2) {
    generate_avx2(state_, halves_);
  } else {
    generate_baseline(state_, halves_);
  }
#else
  generate_baseline(state_, halves_);
#endif
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
}

void RandomSource::top_bits_clear(std::uint64_t* bits, std::size_t count) noexcept {
  std::fill(bits, bits + (count + 63) / 64, std::uint64_t{0});
  std::size_t at = 0;
  while (at < count) {
    if (next_ == kHalves) refill();
    const std::size_t take = std::min(count - at, kHalves - next_);
    const std::uint32_t* const from = halves_ + next_;
    std::size_t k = 0;
#ifdef __SSE2__
    // Signed packing keeps each word's sign, so sixteen top bits come out of one movemask.
    for (; k + 16 <= take; k += 16) {
      const auto* const v = reinterpret_cast<const __m128i*>(from + k);
      const __m128i low = _mm_packs_epi32(_mm_loadu_si128(v), _mm_loadu_si128(v + 1));
      const __m128i high = _mm_packs_epi32(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3));
      const auto set = static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
      append_bits(bits, at, ~set & 0xffff, 16);
    }
#endif
    for (; k < take; ++k) append_bits(bits, at, (from[k] >> 31) ^ 1, 1);
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
  return source;
}

}  // namespace genetic
