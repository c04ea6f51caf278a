#include "random_source.hpp"

#include <sys/random.h>

#include <cerrno>

#include "fault.hpp"

namespace genetic {
namespace {

// Output of one generator between two rekeyings, in 64-bit words (64 MiB).
constexpr std::uint64_t kRekeyInterval = std::uint64_t{1} << 23;

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

class RandomSource::Local {
 public:
  explicit Local(RandomSource& owner) noexcept : owner_(owner), from_os_(owner.from_os_) { load(); }
  Local(const Local&) = delete;
  ~Local() { store(); }

  std::uint64_t next() noexcept {
    if (from_os_ && --until_ == 0) [[unlikely]] {
      store();
      owner_.rekey();
      load();
    }
    return step(s0_, s1_, s2_, s3_);
  }

 private:
  void load() noexcept {
    s0_ = owner_.state_[0], s1_ = owner_.state_[1], s2_ = owner_.state_[2], s3_ = owner_.state_[3];
    until_ = owner_.until_rekey_;
  }
  void store() noexcept {
    owner_.state_[0] = s0_, owner_.state_[1] = s1_, owner_.state_[2] = s2_, owner_.state_[3] = s3_;
    owner_.until_rekey_ = until_;
  }

  RandomSource& owner_;
  const bool from_os_;
  std::uint64_t s0_, s1_, s2_, s3_, until_;
};

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

void RandomSource::top_bits_clear(bool* out, std::size_t count) noexcept {
  std::size_t i = 0;
  if (count > 0 && has_pending_) {
    out[i++] = (pending_ >> 31) == 0;
    has_pending_ = false;
  }
  std::uint32_t high = 0;
  {
    Local local(*this);
    for (; i + 2 <= count; i += 2) {
      const std::uint64_t word = local.next();
      out[i] = ((word >> 31) & 1) == 0;
      out[i + 1] = (word >> 63) == 0;
    }
    if (i < count) {
      const std::uint64_t word = local.next();
      out[i] = ((word >> 31) & 1) == 0;
      high = static_cast<std::uint32_t>(word >> 32);
    }
  }
  if (i < count) {
    pending_ = high;
    has_pending_ = true;
  }
}

std::uint64_t RandomSource::first_draw_below(std::uint64_t below, std::uint64_t from, std::uint64_t to) noexcept {
  // With a word split, every next_u64 is the pending half below the next word's low half.
  const bool split = has_pending_;
  std::uint64_t pending = pending_;
  std::uint64_t i = from;
  {
    Local local(*this);
    for (; i < to; ++i) {
      const std::uint64_t word = local.next();
      std::uint64_t draw = word;
      if (split) {
        draw = pending | (word << 32);
        pending = word >> 32;
      }
      if ((draw >> 11) < below) break;
    }
  }
  pending_ = static_cast<std::uint32_t>(pending);
  return i;
}

std::shared_ptr<RandomSource> thread_random_source() {
  thread_local std::shared_ptr<RandomSource> source;
  if (!source) source = std::make_shared<RandomSource>(RandomSource::from_os());
  return source;
}

}  // namespace genetic
