#include "crossover/ipx.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <string>
#include <vector>

#include "testing.hpp"

namespace genetic {
namespace {

using Mask = std::vector<char>;  // not vector<bool>, which has no contiguous storage

std::pair<Genes, Genes> children(const Mask& keep, const Genes& a, const Genes& b) {
  std::unique_ptr<bool[]> flags(new bool[keep.size()]);
  for (std::size_t i = 0; i < keep.size(); ++i) flags[i] = keep[i] != 0;
  return ipx_children({flags.get(), keep.size()}, a, b);
}

Genes shifted(Genes genes, Gene by) {
  for (Gene& g : genes) g += by;
  return genes;
}

struct IpxCase {
  std::string name;
  Mask keep;
  Genes a, b, child1, child2;
};

void PrintTo(const IpxCase& c, std::ostream* os) { *os << c.name; }

class IpxChildren : public testing::TestWithParam<IpxCase> {};

TEST_P(IpxChildren, ExactChildren) {
  const IpxCase& c = GetParam();
  const auto [x, y] = children(c.keep, c.a, c.b);
  EXPECT_EQ(x, c.child1);
  EXPECT_EQ(y, c.child2);
}

// Large gene values take the hashed membership path instead of the value-indexed one.
TEST_P(IpxChildren, SameChildrenForLargeGeneValues) {
  const IpxCase& c = GetParam();
  constexpr Gene kBig = Gene{1} << 40;
  const auto [x, y] = children(c.keep, shifted(c.a, kBig), shifted(c.b, kBig));
  // When no parent holds 0, a 0 in a child is an unfilled position, which stays 0.
  const bool zero_is_gene = std::ranges::count(c.a, 0) + std::ranges::count(c.b, 0) > 0;
  auto expected = [&](Genes want) {
    for (Gene& g : want) {
      if (g != 0 || zero_is_gene) g += kBig;
    }
    return want;
  };
  EXPECT_EQ(x, expected(c.child1));
  EXPECT_EQ(y, expected(c.child2));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IpxChildren,
    testing::Values(
        IpxCase{"KeptZeroAndTwo", {1, 0, 1, 0, 0}, {0, 1, 2, 3, 4}, {4, 3, 2, 1, 0}, {0, 4, 2, 3, 1}, {4, 0, 2, 1, 3}},
        IpxCase{"AllKeptCopies", {1, 1, 1, 1}, {2, 0, 3, 1}, {1, 3, 0, 2}, {2, 0, 3, 1}, {1, 3, 0, 2}},
        IpxCase{"NoneKeptSwaps", {0, 0, 0, 0}, {2, 0, 3, 1}, {1, 3, 0, 2}, {1, 3, 0, 2}, {2, 0, 3, 1}},
        IpxCase{"LastKept", {0, 0, 1}, {0, 1, 2}, {2, 1, 0}, {1, 0, 2}, {1, 2, 0}},
        IpxCase{"Empty", {}, {}, {}, {}, {}},
        // Not orderings of the same values: fewer new genes than free positions.
        IpxCase{"UnfilledStayZero", {0, 0, 0}, {5, 6, 7}, {1, 1, 1}, {1, 0, 0}, {5, 6, 7}},
        IpxCase{"LongerSecondParent", {1, 0}, {7, 8}, {8, 7, 7}, {7, 8}, {8, 7}},
        // The donor goes on after the last free position is taken: its last new gene stays.
        IpxCase{"RepeatsAfterLastFreePosition", {1, 0, 0}, {0, 1, 2}, {1, 2, 0, 0}, {0, 1, 2}, {1, 0, 2}}),
    [](const testing::TestParamInfo<IpxCase>& info) { return info.param.name; });

TEST(IpxChildrenFaults, KeptPositionBeyondSecondParent) {
  EXPECT_EQ(error_text([&] { children({0, 0, 1}, {0, 1, 2}, {2, 1}); }),
            "index out of range: IPX keeps position 2 but the second parent has only 2 genes");
}

// Three new genes for two free positions, and one new gene with every position kept.
TEST(IpxChildrenFaults, MoreGenesThanFreePositions) {
  for (const auto& [keep, b] : {std::pair<Mask, Genes>{{0, 0}, {2, 3, 4}}, std::pair<Mask, Genes>{{1, 1}, {1, 0, 5}}}) {
    EXPECT_EQ(error_text([&] { children(keep, {0, 1}, b); }),
              "index out of range: IPX has more genes to place than free positions in a child of 2 genes "
              "(the parents are not orderings of the same values)");
  }
}

Genes permutation(RandomSource& rng, std::size_t n) { return rng.sample_indices<Genes::allocator_type>(n, n); }

TEST(IpxCrossover, OneDrawPerPositionTopBitClearKeeps) {
  for (std::uint64_t seed = 1; seed <= 30; ++seed) {
    RandomSource setup = RandomSource::from_seed(seed + 1000);
    const std::size_t n = 1 + seed % 17;
    const Genes a = permutation(setup, n);
    const Genes b = permutation(setup, n);

    RandomSource rng = RandomSource::from_seed(seed);
    RandomSource replay = RandomSource::from_seed(seed);
    if (seed % 2 == 1) {
      // Start with half a 64-bit word pending in the stream.
      rng.next_u32();
      replay.next_u32();
    }
    const auto got = IpxCrossover().cross_genes(rng, a, b);
    Mask keep(n);
    for (char& k : keep) k = (replay.next_u32() >> 31) == 0;
    EXPECT_EQ(got, children(keep, a, b)) << "seed " << seed;
    EXPECT_EQ(rng.next_u32(), replay.next_u32()) << "seed " << seed;
  }
}

// Orderings take the value-indexed sets, large values the hashed ones: on random
// parents of every shape (orderings, repeats, unequal lengths) both give the same
// children, or the same fault. No gene is 0, so a 0 in a child is an unfilled position.
TEST(IpxChildrenPaths, SmallValuesMatchHashedValues) {
  constexpr Gene kBig = Gene{1} << 40;
  RandomSource rng = RandomSource::from_seed(515);
  int faults = 0;
  for (int round = 0; round < 400; ++round) {
    const std::size_t n = rng.uniform_index(0, 70);
    Genes a, b;
    if (round % 4 != 3) {
      a = shifted(permutation(rng, n), 1);
      b = shifted(permutation(rng, n), 1);
    } else {
      a.resize(n);
      b.resize(rng.uniform_index(0, n + 3));
      for (Gene& g : a) g = rng.uniform_index(1, n + 3);
      for (Gene& g : b) g = rng.uniform_index(1, n + 3);
    }
    Mask keep(n);
    for (std::size_t i = 0; i < std::min(n, b.size()); ++i) keep[i] = rng.uniform_index(0, 2);
    std::string small_fault, big_fault;
    std::pair<Genes, Genes> small, big;
    try {
      small = children(keep, a, b);
    } catch (const Fault& e) {
      small_fault = e.what();
    }
    try {
      big = children(keep, shifted(a, kBig), shifted(b, kBig));
    } catch (const Fault& e) {
      big_fault = e.what();
    }
    ASSERT_EQ(small_fault, big_fault) << "round " << round;
    if (!small_fault.empty()) {
      ++faults;
      continue;
    }
    // Unfilled positions stay 0 on both paths; every other gene is shifted.
    for (Genes* child : {&big.first, &big.second}) {
      for (Gene& g : *child) g = g == 0 ? 0 : g - kBig;
    }
    ASSERT_EQ(small, big) << "round " << round;
  }
  EXPECT_GT(faults, 0);
}

TEST(IpxCrossover, OrderingsStayOrderings) {
  RandomSource rng = RandomSource::from_seed(99);
  for (int round = 0; round < 200; ++round) {
    const std::size_t n = 1 + static_cast<std::size_t>(round % 40);
    const Genes a = permutation(rng, n);
    const Genes b = permutation(rng, n);
    auto [x, y] = IpxCrossover().cross_genes(rng, a, b);
    ASSERT_EQ(sorted(x), identity(n));
    ASSERT_EQ(sorted(y), identity(n));
  }
}

// Short chromosomes keep their buffers for the next pair; a long one's crossing leaves
// no more than 1 MiB behind, also when it ends in a fault.
TEST(IpxCrossover, LeavesAtMostOneMebibyteOfScratch) {
  RandomSource rng = RandomSource::from_seed(8);
  const auto cross = [&](std::size_t n) { IpxCrossover().cross_genes(rng, permutation(rng, n), permutation(rng, n)); };
  cross(200);
  EXPECT_GT(ipx_scratch_bytes(), 0u);
  cross(300'000);
  EXPECT_LE(ipx_scratch_bytes(), std::size_t{1} << 20);
  Genes b = permutation(rng, 300'000);
  b.push_back(b.size());  // one gene more than the free positions take
  EXPECT_THROW(children(Mask(b.size() - 1, 0), permutation(rng, b.size() - 1), b), Fault);
  EXPECT_LE(ipx_scratch_bytes(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace genetic
