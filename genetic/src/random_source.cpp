#include "random_source.hpp"

#include <sys/random.h>

#include <cerrno>
#include <numeric>

#include "fault.hpp"

namespace genetic {
namespace {

// Output of one generator between two rekeyings, in 64-bit words (64 MiB).
constexpr std::uint64_t kRekeyInterval = std::uint64_t{1} << 23;

// The 128-bit product of the bounded draw; a compiler extension, declared once.
__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t rotl(std::uint64_t x, int k) noexcept { return (x << k) | (x >> (64 - k)); }

std::uint64_t splitmix64(std::uint64_t& x) noexcept {
  std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

bool read_os_random(void* out, std::size_t size) noexcept {
  auto* bytes = static_cast<unsigned char*>(out);
  while (size > 0) {
    ssize_t got = getrandom(bytes, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// xoshiro256 must not start from the all-zero state.
void ensure_nonzero(std::uint64_t (&state)[4]) noexcept {
  if ((state[0] | state[1] | state[2] | state[3]) == 0) state[0] = 0x9e3779b97f4a7c15ULL;
}

}  // namespace

RandomSource RandomSource::from_os() {
  RandomSource source;
  if (!read_os_random(source.state_, sizeof source.state_)) {
    fault("the operating system supplied no random seed bytes");
  }
  ensure_nonzero(source.state_);
  source.from_os_ = true;
  source.until_rekey_ = kRekeyInterval;
  return source;
}

RandomSource RandomSource::from_seed(std::uint64_t seed) {
  RandomSource source;
  for (auto& word : source.state_) word = splitmix64(seed);
  ensure_nonzero(source.state_);
  return source;
}

void RandomSource::rekey() noexcept {
  // Mixed into the state rather than replacing it; a failed read leaves the state as it is.
  std::uint64_t fresh[4];
  if (read_os_random(fresh, sizeof fresh)) {
    for (int i = 0; i < 4; ++i) state_[i] ^= fresh[i];
    ensure_nonzero(state_);
  }
  until_rekey_ = kRekeyInterval;
}

// xoshiro256++: small state, fast, and well studied.
inline std::uint64_t RandomSource::next_word64() noexcept {
  if (from_os_ && --until_rekey_ == 0) [[unlikely]] rekey();
  const std::uint64_t result = rotl(state_[0] + state_[3], 23) + state_[0];
  const std::uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = rotl(state_[3], 45);
  return result;
}

// The stream is a sequence of 32-bit words: each 64-bit output gives its low half
// first, then its high half.
std::uint32_t RandomSource::next_u32() noexcept {
  if (has_pending_) {
    has_pending_ = false;
    return pending_;
  }
  const std::uint64_t word = next_word64();
  pending_ = static_cast<std::uint32_t>(word >> 32);
  has_pending_ = true;
  return static_cast<std::uint32_t>(word);
}

std::uint64_t RandomSource::next_u64() noexcept {
  if (!has_pending_) return next_word64();
  const std::uint64_t low = pending_;
  const std::uint64_t word = next_word64();
  pending_ = static_cast<std::uint32_t>(word >> 32);
  return low | (word << 32);
}

double RandomSource::uniform_f64() noexcept {
  return static_cast<double>(next_u64() >> 11) * 0x1.0p-53;
}

std::uint64_t RandomSource::uniform_index(std::uint64_t low, std::uint64_t high) {
  if (low >= high) [[unlikely]] fault(kEmptyRange);
  // Lemire's multiply-shift with rejection: unbiased, and one multiply in the common case.
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

std::vector<std::uint64_t> RandomSource::sample_indices(std::uint64_t length, std::uint64_t amount) {
  if (amount > length) fault("cannot sample more distinct indices than the range holds");
  std::vector<std::uint64_t> indices(length);
  std::iota(indices.begin(), indices.end(), std::uint64_t{0});
  // A partial Fisher-Yates shuffle: position i takes a uniform pick of what is left.
  for (std::uint64_t i = 0; i < amount; ++i) {
    std::swap(indices[i], indices[uniform_index(i, length)]);
  }
  indices.resize(amount);
  return indices;
}

std::shared_ptr<RandomSource> thread_random_source() {
  thread_local std::shared_ptr<RandomSource> source;
  if (!source) source = std::make_shared<RandomSource>(RandomSource::from_os());
  return source;
}

}  // namespace genetic
