#include "random/random_source.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "fault.hpp"
#include "fork_hooks.hpp"
#include "testing.hpp"

#if GENETIC_HAS_FORK
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace genetic {
namespace {

// Chi-square statistic of observed counts against equal expected counts.
double chi_square(const std::vector<std::uint64_t>& counts, std::uint64_t total) {
  const double expected = static_cast<double>(total) / static_cast<double>(counts.size());
  double sum = 0.0;
  for (auto c : counts) {
    const double d = static_cast<double>(c) - expected;
    sum += d * d / expected;
  }
  return sum;
}

// To re-derive the values below: run splitmix64 from the seed and take its outputs,
// in order, as the state words s0..s3 of lane 0, then of lanes 1, 2 and 3; step each
// lane by xoshiro256++; the stream is step 0's outputs of lanes 0..3, then step 1's,
// and so on, each 64-bit output read as its low 32-bit half, then its high half. Any
// change in how a draw is derived from the stream breaks them.
TEST(RandomSourcePinned, NextU32) {
  auto rng = RandomSource::from_seed(42);
  EXPECT_EQ(rng.next_u32(), 1148610719u);
  EXPECT_EQ(rng.next_u32(), 3497413967u);
  EXPECT_EQ(rng.next_u32(), 4021517625u);
}

TEST(RandomSourcePinned, NextU64) {
  auto rng = RandomSource::from_seed(42);
  EXPECT_EQ(rng.next_u64(), 0xd0764d4f4476689fULL);
  EXPECT_EQ(rng.next_u64(), 0x2e1dcb83efb37d39ULL);
}

TEST(RandomSourcePinned, UniformF64) {
  auto rng = RandomSource::from_seed(42);
  EXPECT_EQ(rng.uniform_f64(), 0.8143051451229099);
  EXPECT_EQ(rng.uniform_f64(), 0.18014213534452306);
  EXPECT_EQ(rng.uniform_f64(), 0.6003095131210617);
}

TEST(RandomSourcePinned, UniformIndex) {
  auto rng = RandomSource::from_seed(42);
  const std::array<std::uint64_t, 5> expected{816, 188, 604, 670, 325};
  for (auto want : expected) EXPECT_EQ(rng.uniform_index(10, 1000), want);
}

TEST(RandomSourcePinned, SampleIndices) {
  auto rng = RandomSource::from_seed(42);
  EXPECT_EQ(rng.sample_indices(8, 8), (std::vector<std::uint64_t>{6, 2, 5, 0, 1, 3, 4, 7}));
  EXPECT_EQ(rng.sample_indices(10, 3), (std::vector<std::uint64_t>{9, 4, 3}));
}

TEST(RandomSourcePinned, MixedDrawsShareOneWordStream) {
  auto rng = RandomSource::from_seed(42);
  EXPECT_EQ(rng.next_u32(), 1148610719u);
  EXPECT_EQ(rng.next_u64(), 0xefb37d39d0764d4fULL);
  EXPECT_EQ(rng.uniform_f64(), 0.33264320860154506);
  EXPECT_EQ(rng.uniform_index(0, 3), 2u);
  EXPECT_EQ(rng.next_u32(), 2866039494u);
}

TEST(RandomSourcePinned, OddWordThenU64) {
  auto rng = RandomSource::from_seed(7);
  rng.next_u32();
  EXPECT_EQ(rng.next_u64(), 0xd68209e20e2c1a00ULL);
}

// A draw of two words whose first is the last of a block of outputs.
TEST(RandomSourcePinned, U64AcrossBlocks) {
  auto rng = RandomSource::from_seed(42);
  for (std::size_t k = 0; k + 1 < 2 * RandomSource::kBlockWords; ++k) rng.next_u32();
  EXPECT_EQ(rng.next_u64(), 0x7f468b2e6cdaf676ULL);
  EXPECT_EQ(rng.next_u32(), 914013029u);
}

// The bits drawn in one pass are the top bits of the same words next_u32 gives, and
// leave the stream where those calls would: a word already split, odd counts, none,
// and runs across blocks of outputs at every offset.
TEST(RandomSourceTopBits, MatchSingleWords) {
  for (const int words_before : {0, 1, 5, 127}) {
    for (const std::size_t count : {0, 1, 2, 5, 8, 17, 64, 65, 200, 300}) {
      auto a = RandomSource::from_seed(99 + count);
      auto b = RandomSource::from_seed(99 + count);
      for (int k = 0; k < words_before; ++k) ASSERT_EQ(a.next_u32(), b.next_u32());
      // Exactly the words `count` bits need, so a sanitizer build catches a write past them;
      // they start dirty, to show the bits past `count` are cleared.
      const std::size_t n_words = (count + 63) / 64;
      const auto bits = std::make_unique<std::uint64_t[]>(n_words);
      std::fill(bits.get(), bits.get() + n_words, ~std::uint64_t{0});
      a.top_bits_clear(bits.get(), count);
      for (std::size_t k = 0; k < n_words * 64; ++k) {
        const bool flag = ((bits[k / 64] >> (k % 64)) & 1) != 0;
        const bool want = k < count && (b.next_u32() >> 31) == 0;
        ASSERT_EQ(flag, want) << words_before << " before, bit " << k << " of " << count;
      }
      EXPECT_EQ(a.next_u64(), b.next_u64()) << words_before << " before, " << count << " bits";
      EXPECT_EQ(a.next_u32(), b.next_u32());
    }
  }
}

// The skipping loop stops at the position the loop of next_u64 calls would, with the
// stream left where those calls leave it: none found, one found, the first position.
TEST(RandomSourceFirstDrawBelow, MatchesDrawByDraw) {
  for (const int words_before : {0, 1, 126, 127}) {
    for (const std::uint64_t below :
         {std::uint64_t{0}, std::uint64_t{1} << 48, std::uint64_t{1} << 52, std::uint64_t{1} << 53}) {
      auto a = RandomSource::from_seed(500 + below);
      auto b = RandomSource::from_seed(500 + below);
      for (int k = 0; k < words_before; ++k) ASSERT_EQ(a.next_u32(), b.next_u32());
      for (std::uint64_t from = 3; from < 300;) {
        std::uint64_t expected = from;
        while (expected < 300 && (b.next_u64() >> 11) >= below) ++expected;
        const std::uint64_t found = a.first_draw_below(below, from, 300);
        ASSERT_EQ(found, expected) << words_before << " before, below " << below << ", from " << from;
        from = found + 1;
      }
      EXPECT_EQ(a.next_u64(), b.next_u64());
      EXPECT_EQ(a.next_u32(), b.next_u32());
    }
  }
}

// Rekeying mixes fresh bytes from the operating system into the state at the set
// interval: a copy of a source draws what it draws up to the first rekeying, and
// something else after it, because each takes its own fresh bytes.
TEST(RandomSourceRekey, MixesFreshBytesAtTheInterval) {
  auto a = RandomSource::from_os(3);
  auto b = a;
  // Two blocks before the rekeying that precedes the third.
  for (std::size_t k = 0; k < 2 * RandomSource::kBlockWords; ++k) ASSERT_EQ(a.next_u64(), b.next_u64()) << k;
  std::vector<std::uint64_t> after_a, after_b;
  for (std::size_t k = 0; k < RandomSource::kBlockWords; ++k) {
    after_a.push_back(a.next_u64());
    after_b.push_back(b.next_u64());
  }
  EXPECT_NE(after_a, after_b);
}

class RandomSourceWordSplit : public ::testing::TestWithParam<int> {};

// next_u64 is the next two 32-bit words, the first as the low half, whatever
// number of single words came before it.
TEST_P(RandomSourceWordSplit, NextU64IsTwoWordsLowFirst) {
  const int words_before = GetParam();
  auto a = RandomSource::from_seed(1234);
  auto b = RandomSource::from_seed(1234);
  for (int k = 0; k < words_before; ++k) ASSERT_EQ(a.next_u32(), b.next_u32());
  for (int k = 0; k < 4; ++k) {
    const std::uint64_t low = b.next_u32();
    const std::uint64_t high = b.next_u32();
    EXPECT_EQ(a.next_u64(), low | (high << 32)) << "pair " << k;
  }
  EXPECT_EQ(a.next_u32(), b.next_u32());
}

INSTANTIATE_TEST_SUITE_P(AfterWords, RandomSourceWordSplit, ::testing::Values(0, 1, 2, 3),
                         [](const auto& info) { return "after" + std::to_string(info.param); });

TEST(RandomSource, UniformF64IsTop53BitsOfNextU64) {
  auto a = RandomSource::from_seed(99);
  auto b = RandomSource::from_seed(99);
  a.next_u32();  // also across an odd word boundary
  b.next_u32();
  for (int k = 0; k < 1000; ++k) {
    const double u = a.uniform_f64();
    EXPECT_EQ(u, static_cast<double>(b.next_u64() >> 11) * 0x1.0p-53);
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
}

TEST(RandomSource, EmptyRangeFaults) {
  auto rng = RandomSource::from_seed(5);
  for (auto [low, high] : {std::pair<std::uint64_t, std::uint64_t>{5, 5}, {0, 0}, {6, 5}}) {
    EXPECT_EQ(error_text([&] { rng.uniform_index(low, high); }), kEmptyRange) << "[" << low << ", " << high << ")";
  }
}

TEST(RandomSource, SingleValueRangeConsumesOneDraw) {
  auto a = RandomSource::from_seed(11);
  auto b = RandomSource::from_seed(11);
  EXPECT_EQ(a.uniform_index(0, 1), 0u);
  EXPECT_EQ(a.uniform_index(7, 8), 7u);
  b.next_u64();
  b.next_u64();
  EXPECT_EQ(a.next_u64(), b.next_u64());
}

TEST(RandomSource, UniformIndexStaysInRange) {
  auto rng = RandomSource::from_seed(3);
  const std::uint64_t huge = std::uint64_t{1} << 63;
  for (int k = 0; k < 1000; ++k) {
    const auto v = rng.uniform_index(huge - 3, huge + 2);
    ASSERT_GE(v, huge - 3);
    ASSERT_LT(v, huge + 2);
  }
  // The full width but one: only the rejection path can be wrong here.
  for (int k = 0; k < 1000; ++k) ASSERT_LT(rng.uniform_index(1, UINT64_MAX), UINT64_MAX);
}

TEST(RandomSource, SampleIndicesIsAPermutation) {
  auto rng = RandomSource::from_seed(17);
  for (std::uint64_t n = 0; n <= 40; ++n) {
    auto v = rng.sample_indices(n, n);
    ASSERT_EQ(v.size(), n);
    std::sort(v.begin(), v.end());
    std::vector<std::uint64_t> want(n);
    std::iota(want.begin(), want.end(), std::uint64_t{0});
    EXPECT_EQ(v, want) << "length " << n;
  }
}

TEST(RandomSource, SampleIndicesPartialIsDistinctAndInRange) {
  auto rng = RandomSource::from_seed(19);
  auto v = rng.sample_indices(50, 20);
  ASSERT_EQ(v.size(), 20u);
  for (auto x : v) EXPECT_LT(x, 50u);
  std::sort(v.begin(), v.end());
  EXPECT_EQ(std::adjacent_find(v.begin(), v.end()), v.end());
}

TEST(RandomSource, SampleIndicesOfNothingDrawsNothing) {
  auto a = RandomSource::from_seed(23);
  auto b = RandomSource::from_seed(23);
  EXPECT_TRUE(a.sample_indices(0, 0).empty());
  EXPECT_TRUE(a.sample_indices(5, 0).empty());
  EXPECT_EQ(a.next_u64(), b.next_u64());
}

// Fixed seeds make these deterministic; the bounds are loose (far beyond the
// 1e-6 tail) so only a real bias, such as an off-by-one range or a naive
// shuffle, can fail them.
TEST(RandomSourceUniformity, UniformIndexChiSquare) {
  auto rng = RandomSource::from_seed(2024);
  constexpr std::uint64_t kLow = 3, kHigh = 10, kDraws = 70000;
  std::vector<std::uint64_t> counts(kHigh - kLow);
  for (std::uint64_t k = 0; k < kDraws; ++k) {
    const auto v = rng.uniform_index(kLow, kHigh);
    ASSERT_GE(v, kLow);
    ASSERT_LT(v, kHigh);
    ++counts[v - kLow];
  }
  EXPECT_LT(chi_square(counts, kDraws), 40.0);  // 6 degrees of freedom
}

TEST(RandomSourceUniformity, PermutationChiSquare) {
  auto rng = RandomSource::from_seed(2025);
  constexpr std::uint64_t kDraws = 60000;
  std::map<std::vector<std::uint64_t>, std::uint64_t> seen;
  for (std::uint64_t k = 0; k < kDraws; ++k) ++seen[rng.sample_indices(3, 3)];
  ASSERT_EQ(seen.size(), 6u);
  std::vector<std::uint64_t> counts;
  for (const auto& [perm, count] : seen) counts.push_back(count);
  EXPECT_LT(chi_square(counts, kDraws), 40.0);  // 5 degrees of freedom
}

TEST(RandomSourceThreads, SameThreadSameSource) {
  auto first = thread_random_source();
  auto second = thread_random_source();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first.get(), second.get());
}

TEST(RandomSourceThreads, TwoThreadsHaveDifferentSources) {
  auto mine = thread_random_source();
  std::shared_ptr<RandomSource> theirs;
  std::array<std::uint64_t, 4> their_draws{};
  std::thread other([&] {
    theirs = thread_random_source();
    for (auto& d : their_draws) d = theirs->next_u64();
  });
  other.join();
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(mine.get(), theirs.get());
  std::array<std::uint64_t, 4> my_draws{};
  for (auto& d : my_draws) d = mine->next_u64();
  EXPECT_NE(my_draws, their_draws);
}

#if GENETIC_HAS_FORK
// What a source draws next, in a forked child and in its parent: the thread's source as a
// run takes it after the fork, and a source held across the fork, drawn past its block.
struct ForkDraws {
  std::array<std::uint64_t, 4> taken{};
  std::array<std::uint64_t, RandomSource::kBlockWords> held_next_block{};
};

ForkDraws draw_after_fork(RandomSource& held) {
  ForkDraws draws;
  for (auto& d : draws.taken) d = thread_random_source()->next_u64();
  for (std::size_t k = 0; k < RandomSource::kBlockWords; ++k) held.next_u64();
  for (auto& d : draws.held_next_block) d = held.next_u64();
  return draws;
}

TEST(RandomSourceFork, ChildNeverContinuesItsParentsStream) {
  thread_random_source()->next_u32();  // partway through a block, as a run leaves it
  auto held = RandomSource::from_os();
  held.next_u32();
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const ForkDraws draws = draw_after_fork(held);
    const bool sent = write(ends[1], &draws, sizeof draws) == static_cast<ssize_t>(sizeof draws);
    _exit(sent ? 0 : 1);
  }
  close(ends[1]);
  const ForkDraws mine = draw_after_fork(held);
  ForkDraws theirs;
  const ssize_t got = read(ends[0], &theirs, sizeof theirs);
  close(ends[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof theirs));
  EXPECT_NE(mine.taken, theirs.taken);
  EXPECT_NE(mine.held_next_block, theirs.held_next_block);
}
#endif

}  // namespace
}  // namespace genetic
