#include "generator/sequence_generator.hpp"

#include <gtest/gtest.h>

#include <string>

#include "testing.hpp"

namespace genetic {
namespace {

struct GeneratorCase {
  std::string name;
  std::uint64_t n_chromosomes;
  std::uint64_t n_genes;
};

class SequenceGeneratorShapes : public ::testing::TestWithParam<GeneratorCase> {};

TEST_P(SequenceGeneratorShapes, EveryChromosomeIsAnUnevaluatedOrdering) {
  const auto& c = GetParam();
  auto rng = RandomSource::from_seed(31);
  const auto population = SequenceGenerator{}.generate_population(rng, c.n_chromosomes, c.n_genes);
  ASSERT_EQ(population.size(), c.n_chromosomes);
  for (const auto& chromosome : population) {
    EXPECT_FALSE(chromosome.fitness.has_value());
    EXPECT_EQ(sorted(chromosome.genes), identity(c.n_genes));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SequenceGeneratorShapes,
                         ::testing::Values(GeneratorCase{"no_chromosomes", 0, 5}, GeneratorCase{"no_genes", 4, 0},
                                           GeneratorCase{"one_gene", 3, 1}, GeneratorCase{"two_genes", 6, 2},
                                           GeneratorCase{"typical", 20, 13}),
                         [](const auto& info) { return info.param.name; });

TEST(SequenceGenerator, OneGeneIsZero) {
  auto rng = RandomSource::from_seed(1);
  EXPECT_EQ(SequenceGenerator{}.generate(rng, 1), (Chromosome{{0}, std::nullopt}));
}

class SequenceGeneratorDrawsNothing : public ::testing::TestWithParam<std::pair<std::uint64_t, std::uint64_t>> {};

TEST_P(SequenceGeneratorDrawsNothing, StreamUntouched) {
  const auto [n_chromosomes, n_genes] = GetParam();
  auto rng = RandomSource::from_seed(8);
  auto fresh = RandomSource::from_seed(8);
  SequenceGenerator{}.generate_population(rng, n_chromosomes, n_genes);
  EXPECT_EQ(rng.next_u64(), fresh.next_u64());
}

INSTANTIATE_TEST_SUITE_P(EmptyInputs, SequenceGeneratorDrawsNothing,
                         ::testing::Values(std::pair<std::uint64_t, std::uint64_t>{0, 10},
                                           std::pair<std::uint64_t, std::uint64_t>{7, 0}));

// Chromosomes are made one after another from the shared stream: the k-th is the
// k-th permutation the source would give on its own.
TEST(SequenceGenerator, ChromosomesFollowTheStreamInOrder) {
  auto rng = RandomSource::from_seed(77);
  auto replay = RandomSource::from_seed(77);
  const auto population = SequenceGenerator{}.generate_population(rng, 5, 9);
  for (const auto& chromosome : population)
    EXPECT_EQ(chromosome.genes, replay.sample_indices<Genes::allocator_type>(9, 9));
  EXPECT_EQ(rng.next_u64(), replay.next_u64());
}

TEST(SequenceGenerator, OrderingsVary) {
  auto rng = RandomSource::from_seed(5);
  const auto population = SequenceGenerator{}.generate_population(rng, 10, 12);
  const bool all_same = std::all_of(population.begin(), population.end(),
                                    [&](const Chromosome& c) { return c.genes == population.front().genes; });
  EXPECT_FALSE(all_same);
}

}  // namespace
}  // namespace genetic
