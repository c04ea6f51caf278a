#include "population/gene_memory.hpp"

#include <gtest/gtest.h>

#include "fork_hooks.hpp"
#if GENETIC_HAS_FORK
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "population/chromosome.hpp"
#include "random/random_source.hpp"

namespace genetic {
namespace {

struct Held {
  unsigned char* block;
  std::size_t bytes;
  unsigned char tag;
};

void fill(const Held& held) { std::memset(held.block, held.tag, held.bytes); }

bool intact(const Held& held) {
  return std::all_of(held.block, held.block + held.bytes, [&](unsigned char b) { return b == held.tag; });
}

// Sizes at and around every boundary of the pool: the fine steps, the first coarse
// size, a doubling, the largest pooled size and the first one past it.
class GeneMemoryChurn : public ::testing::TestWithParam<std::size_t> {};

TEST_P(GeneMemoryChurn, BlocksNeverOverlapWhileHeldAndFreedInRandomOrder) {
  RandomSource rng = RandomSource::from_seed(GetParam());
  const std::size_t sizes[] = {1,
                               8,
                               16,
                               17,
                               1000,
                               1024,
                               1025,
                               1600,
                               2048,
                               2049,
                               8000,
                               65535,
                               gene_memory::kLargestPooled,
                               gene_memory::kLargestPooled + 1};
  std::vector<Held> held;
  unsigned char tag = 0;
  // Enough 1600-byte blocks to need more than two slabs; frees interleaved with allocations.
  for (int round = 0; round < 6000; ++round) {
    if (!held.empty() && rng.uniform_index(0, 3) == 0) {
      const std::size_t k = rng.uniform_index(0, held.size());
      ASSERT_TRUE(intact(held[k])) << "a block of " << held[k].bytes << " bytes was overwritten";
      gene_memory::deallocate(held[k].block, held[k].bytes);
      held[k] = held.back();
      held.pop_back();
      continue;
    }
    const std::size_t bytes = round % 2 == 0 ? 1600 : sizes[rng.uniform_index(0, std::size(sizes))];
    Held h{static_cast<unsigned char*>(gene_memory::allocate(bytes)), bytes, ++tag};
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(h.block) % 16, 0u);
    fill(h);
    held.push_back(h);
  }
  for (const Held& h : held) {
    ASSERT_TRUE(intact(h)) << "a block of " << h.bytes << " bytes was overwritten";
    gene_memory::deallocate(h.block, h.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneMemoryChurn, ::testing::Values(1, 2, 3));

TEST(GeneMemory, FreedSlabsGoBackToTheSystemButOneSparePerSize) {
  if (!gene_memory::kPooled) GTEST_SKIP() << "lists use the global allocator in this build";
  const std::size_t before = gene_memory::mapped_bytes();
  std::vector<Genes> lists;
  // 4000 lists of 300 genes: several slabs of one size.
  for (int i = 0; i < 4000; ++i) lists.emplace_back(300, static_cast<Gene>(i));
  EXPECT_GE(gene_memory::mapped_bytes(), before + 4000 * 300 * sizeof(Gene));
  for (int i = 0; i < 4000; ++i) ASSERT_EQ(lists[static_cast<std::size_t>(i)][299], static_cast<Gene>(i));
  lists.clear();
  lists.shrink_to_fit();
  EXPECT_LE(gene_memory::mapped_bytes(), before + (std::size_t{2} << 20));
  // The spare serves the next lists of that size without mapping more.
  const std::size_t kept = gene_memory::mapped_bytes();
  for (int i = 0; i < 100; ++i) lists.emplace_back(300, Gene{7});
  EXPECT_EQ(gene_memory::mapped_bytes(), kept);
}

#if GENETIC_HAS_FORK
// A child forked while another thread is inside the pool must still be able to allocate.
TEST(GeneMemory, ForkWhileAnotherThreadAllocatesLeavesTheChildAbleToAllocate) {
  if (!gene_memory::kPooled) GTEST_SKIP() << "lists use the global allocator in this build";
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    while (!stop.load(std::memory_order_relaxed)) {
      Genes genes(300, Gene{1});
      ASSERT_EQ(genes[299], Gene{1});
    }
  });
  for (int k = 0; k < 40; ++k) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      alarm(10);  // a child stuck on a lock dies of the alarm instead of hanging the test
      Genes genes(300, Gene{2});
      _exit(genes[299] == Gene{2} ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << k << " did not allocate";
  }
  stop = true;
  churn.join();
}
#endif

TEST(GeneMemory, GeneListsMoveWithoutCopyingAndCopyIntoBlocksOfTheirOwn) {
  Genes a(500, Gene{3});
  const Gene* data = a.data();
  Genes moved = std::move(a);
  EXPECT_EQ(moved.data(), data);
  Genes copy = moved;
  EXPECT_NE(copy.data(), moved.data());
  EXPECT_EQ(copy, moved);
}

}  // namespace
}  // namespace genetic
