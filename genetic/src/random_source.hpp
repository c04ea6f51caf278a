#pragma once
// The pseudo-random stream every draw of a run comes from: one per thread, keyed
// from the operating system and rekeyed from it now and then. Concrete and final,
// so that draws inline into the operators' loops.
#include <cstdint>
#include <memory>
#include <vector>

namespace genetic {

class RandomSource final {
 public:
  // Keyed from the operating system; a Fault when it supplies no seed bytes.
  static RandomSource from_os();
  // A fixed stream, for tests only: the Python side never gets one.
  static RandomSource from_seed(std::uint64_t seed);

  std::uint32_t next_u32() noexcept;
  // The next two 32-bit words of the stream, the first as the low half.
  std::uint64_t next_u64() noexcept;
  // The top 53 bits of next_u64 scaled by 2^-53: in [0, 1), never 1.0.
  double uniform_f64() noexcept;
  // Uniform in [low, high); a Fault "cannot sample empty range" when low >= high.
  std::uint64_t uniform_index(std::uint64_t low, std::uint64_t high);
  // `amount` distinct values of [0, length) in uniformly random order.
  std::vector<std::uint64_t> sample_indices(std::uint64_t length, std::uint64_t amount);

 private:
  RandomSource() = default;
  std::uint64_t next_word64() noexcept;
  void rekey() noexcept;

  std::uint64_t state_[4] = {};
  std::uint64_t until_rekey_ = 0;
  std::uint32_t pending_ = 0;  // the high half of the last 64-bit output, not yet drawn
  bool has_pending_ = false;
  bool from_os_ = false;
};

// The calling thread's source, created on first use; the handle keeps it alive for a run.
std::shared_ptr<RandomSource> thread_random_source();

}  // namespace genetic
