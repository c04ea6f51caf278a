#include "run/sga.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "crossover/ipx.hpp"
#include "selector/roulette.hpp"
#include "testing.hpp"

namespace genetic {
namespace {

// size: the population's size; sum: its fitness sum; min: how many members lacked a
// fitness when recorded; max: the generation. Counts its records.
class SummaryRecorder final : public RecorderOperator {
 public:
  FitnessStatistics record(const Population& population) const override {
    FitnessStatistics record;
    record.size = population.chromosomes.size();
    record.sum = 0.0;
    for (const Chromosome& c : population.chromosomes) {
      if (c.fitness) {
        record.sum += *c.fitness;
      } else {
        record.min += 1.0;
      }
    }
    record.max = static_cast<double>(population.generation);
    ++recorded;
    return record;
  }
  mutable std::size_t recorded = 0;
};

// 1 + the number of genes standing at their own index: positive, and it varies
// between orderings, so the roulette has something to prefer. Counts its work.
class PlacedGenesEvaluator final : public EvaluatorOperator {
 public:
  double fitness_of(std::span<const Gene> genes) const override {
    ++computed;
    double placed = 1.0;
    for (std::size_t i = 0; i < genes.size(); ++i) placed += genes[i] == i ? 1.0 : 0.0;
    return placed;
  }
  mutable std::size_t computed = 0;
};

// The operators of a run, as sequence_sga would make them for IPX, roulette and swap.
struct Operators {
  SequenceGenerator generator;
  PlacedGenesEvaluator evaluator;
  SummaryRecorder recorder;
  RouletteSelector selector;
  IpxCrossover crossover;
  SwapMutator mutator{0.2};

  RunLineage run(RandomSource& rng, const CoreSettings& settings) {
    return run_sga(rng, settings, generator, evaluator, recorder, selector, crossover, mutator);
  }
};

CoreSettings settings(std::optional<std::uint64_t> n_chromosomes, std::optional<std::uint64_t> n_generations) {
  return CoreSettings{.n_genes = 6,
                      .p_crossover = 0.7,
                      .p_mutation = 0.3,
                      .n_chromosomes = n_chromosomes,
                      .n_generations = n_generations,
                      .n_records = std::nullopt,
                      .n_hall_of_fame = std::nullopt};
}

bool is_ordering(Genes genes) {
  std::ranges::sort(genes);
  for (std::size_t i = 0; i < genes.size(); ++i) {
    if (genes[i] != i) return false;
  }
  return true;
}

struct ShapeCase {
  std::string name;
  std::uint64_t n_chromosomes;
  std::uint64_t n_generations;
  std::optional<std::uint64_t> n_records;
  std::optional<std::uint64_t> n_hall_of_fame;
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

class RunShape : public testing::TestWithParam<ShapeCase> {};

TEST_P(RunShape, PopulationsRecordsAndHallOfFame) {
  const ShapeCase& c = GetParam();
  for (std::uint64_t seed = 1; seed <= 5; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    CoreSettings s = settings(c.n_chromosomes, c.n_generations);
    s.n_records = c.n_records;
    s.n_hall_of_fame = c.n_hall_of_fame;
    Operators ops;
    RandomSource rng = RandomSource::from_seed(seed);
    const Lineage lineage = ops.run(rng, s).to_lineage();

    // Generations n_generations down to 1, each of n_chromosomes evaluated orderings.
    ASSERT_EQ(lineage.generations.size(), c.n_generations);
    for (std::size_t k = 0; k < lineage.generations.size(); ++k) {
      const Population p = lineage.generations[k].population();
      EXPECT_EQ(p.generation, c.n_generations - k);
      ASSERT_EQ(p.chromosomes.size(), c.n_chromosomes);
      for (const Chromosome& chromosome : p.chromosomes) {
        EXPECT_TRUE(is_ordering(chromosome.genes));
        // A kept fitness must still be the fitness of the genes it sits with.
        ASSERT_TRUE(chromosome.fitness);
        EXPECT_EQ(*chromosome.fitness, PlacedGenesEvaluator().fitness_of(chromosome.genes));
      }
    }

    // One record per population, newest first, from generation n_generations down.
    const std::uint64_t n_records = std::min(c.n_generations + 1, c.n_records.value_or(c.n_generations + 1));
    ASSERT_EQ(lineage.records.size(), n_records);
    for (std::size_t k = 0; k < lineage.records.size(); ++k) {
      EXPECT_EQ(lineage.records[k].max, static_cast<double>(c.n_generations - k));
      EXPECT_EQ(lineage.records[k].size, c.n_chromosomes);
      EXPECT_EQ(lineage.records[k].min, 0.0) << "recorded before it was evaluated";
    }
    EXPECT_EQ(ops.recorder.recorded, c.n_generations + 1);

    // Best first, unique, within capacity, and its set matches its members.
    const HallOfFame& hof = lineage.hall_of_fame;
    EXPECT_EQ(hof.capacity, c.n_hall_of_fame.value_or(1));
    EXPECT_EQ(hof.chromosomes.size(), hof.uniques.size());
    EXPECT_FALSE(hof.chromosomes.empty());
    EXPECT_LE(hof.chromosomes.size(), hof.capacity);
    for (std::size_t k = 0; k < hof.chromosomes.size(); ++k) {
      EXPECT_TRUE(hof.uniques.contains(hof.chromosomes[k].genes));
      if (k > 0) {
        EXPECT_GE(*hof.chromosomes[k - 1].fitness, *hof.chromosomes[k].fitness);
      }
    }
    // No kept chromosome beats the best the hall of fame has seen.
    for (const KeptPopulation& kept : lineage.generations) {
      for (const Chromosome& chromosome : kept.population().chromosomes)
        EXPECT_LE(*chromosome.fitness, *hof.chromosomes[0].fitness);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RunShape,
                         testing::Values(ShapeCase{"OneGeneration", 6, 1, std::nullopt, std::nullopt},
                                         ShapeCase{"Typical", 10, 8, std::nullopt, 3},
                                         ShapeCase{"OddChromosomes", 7, 5, std::nullopt, 4},
                                         ShapeCase{"RecordBound", 4, 6, 2, std::nullopt},
                                         ShapeCase{"RecordBoundOne", 5, 1, 1, 2},
                                         ShapeCase{"LargeHallOfFame", 8, 3, 10, 50}),
                         [](const testing::TestParamInfo<ShapeCase>& info) { return info.param.name; });

TEST(RunSga, ZeroChromosomesRunsEveryGenerationEmpty) {
  Operators ops;
  RandomSource rng = RandomSource::from_seed(4);
  const Lineage lineage = ops.run(rng, settings(0, 3)).to_lineage();
  ASSERT_EQ(lineage.generations.size(), 3U);
  for (const KeptPopulation& kept : lineage.generations) EXPECT_TRUE(kept.population().chromosomes.empty());
  EXPECT_EQ(lineage.generations[0].generation(), 3U);
  ASSERT_EQ(lineage.records.size(), 4U);
  for (const FitnessStatistics& r : lineage.records) EXPECT_EQ(r.size, 0U);
  EXPECT_TRUE(lineage.hall_of_fame.chromosomes.empty());
  EXPECT_TRUE(lineage.hall_of_fame.uniques.empty());
}

// The caller's check runs once before each selection, with the generation bred so far
// recorded, and never after the last; a throw from it ends the run with that exception.
struct Stop {};
struct Checks {
  const SummaryRecorder* recorder;
  std::size_t stop_at;  // the call that throws; 0 for none
  std::vector<std::size_t> records_seen;

  static void call(void* context) {
    auto& self = *static_cast<Checks*>(context);
    self.records_seen.push_back(self.recorder->recorded);
    if (self.records_seen.size() == self.stop_at) throw Stop{};
  }
};

TEST(RunSga, BetweenGenerationsRunsBeforeEachSelectionAndMayEndTheRun) {
  Operators ops;
  RandomSource rng = RandomSource::from_seed(8);
  Checks checks{.recorder = &ops.recorder, .stop_at = 0, .records_seen = {}};
  const BetweenGenerations between{.call = &Checks::call, .context = &checks};
  const RunLineage finished = run_sga(rng, settings(4, 3), ops.generator, ops.evaluator, ops.recorder, ops.selector,
                                      ops.crossover, ops.mutator, between);
  EXPECT_EQ(finished.records().size(), 4U);
  EXPECT_EQ(checks.records_seen, (std::vector<std::size_t>{1, 2, 3}));

  Operators stopped;
  Checks stop{.recorder = &stopped.recorder, .stop_at = 2, .records_seen = {}};
  EXPECT_THROW(run_sga(rng, settings(4, 1000), stopped.generator, stopped.evaluator, stopped.recorder, stopped.selector,
                       stopped.crossover, stopped.mutator, {.call = &Checks::call, .context = &stop}),
               Stop);
  EXPECT_EQ(stopped.recorder.recorded, 2U);
}

struct CacheCase {
  std::string name;
  double p_crossover;
  double p_mutation;
  std::uint64_t n_chromosomes;
  std::size_t evaluations;  // for 4 generations
};

void PrintTo(const CacheCase& c, std::ostream* os) { *os << c.name; }

class RunSgaFitnessCache : public testing::TestWithParam<CacheCase> {};

TEST_P(RunSgaFitnessCache, OnlyChangedChromosomesAreEvaluated) {
  const CacheCase& c = GetParam();
  CoreSettings s = settings(c.n_chromosomes, 4);
  s.p_crossover = c.p_crossover;
  s.p_mutation = c.p_mutation;
  Operators ops;
  RandomSource rng = RandomSource::from_seed(11);
  ops.run(rng, s);
  EXPECT_EQ(ops.evaluator.computed, c.evaluations);
}

INSTANTIATE_TEST_SUITE_P(Cases, RunSgaFitnessCache,
                         testing::Values(CacheCase{"NothingChangesOnlyGenerationZero", 0.0, 0.0, 6, 6},
                                         // Crossed children are new; every population is all children.
                                         CacheCase{"AllCrossedEveryGeneration", 1.0, 0.0, 6, 30},
                                         // The extra child of an odd count is dropped before evaluation.
                                         CacheCase{"OddCountEvaluatesOnlyKeptChildren", 1.0, 0.0, 5, 25},
                                         CacheCase{"AllMutatedEveryGeneration", -1.0, 1.0, 6, 30}),
                         [](const testing::TestParamInfo<CacheCase>& info) { return info.param.name; });

// The loop written plainly, from copies: the run, which reads parents where they are
// kept and moves offspring on, must draw and produce the same. Parents are selected,
// paired and crossed, then taken in cycle and mutated, one copy at a time.
Chromosomes select_copies(RandomSource& rng, Operators& ops, const Chromosomes& population, std::uint64_t n) {
  Chromosomes parents;
  for (const std::size_t pick : ops.selector.select_indices(rng, population, n)) parents.push_back(population[pick]);
  return parents;
}

Chromosomes cross_copies(RandomSource& rng, const Operators& ops, const Chromosomes& parents, std::uint64_t n,
                         double p_crossover) {
  Chromosomes offspring;
  for (std::size_t pair = 0; offspring.size() < n; pair = (pair + 1) % (parents.size() / 2)) {
    const Chromosome& a = parents[2 * pair];
    const Chromosome& b = parents[2 * pair + 1];
    if (rng.uniform_f64() > p_crossover) {
      offspring.push_back(a);
      offspring.push_back(b);
    } else {
      auto [x, y] = ops.crossover.cross_pair(rng, a, b);
      offspring.push_back(x);
      offspring.push_back(y);
    }
  }
  return offspring;
}

Chromosomes mutate_copies(RandomSource& rng, const Operators& ops, const Chromosomes& offspring, std::uint64_t n,
                          double p_mutation) {
  Chromosomes next;
  for (std::uint64_t k = 0; k < n; ++k) {
    Chromosome copy = offspring[k % offspring.size()];
    if (rng.uniform_f64() < p_mutation) {
      ops.mutator.mutate_genes(rng, copy.genes);
      copy.fitness.reset();
    }
    next.push_back(copy);
  }
  return next;
}

Lineage copying_run(RandomSource& rng, const CoreSettings& s, Operators& ops) {
  const std::uint64_t n = *s.n_chromosomes;
  RunLineage lineage(s.n_generations, s.n_records, s.n_hall_of_fame);
  const auto add = [&](Population population) {
    ops.evaluator.evaluate_population(population.chromosomes);
    lineage.offer(population.chromosomes);
    lineage.record(ops.recorder.record(population));
    lineage.keep(std::move(population));
  };
  add(Population{ops.generator.generate_population(rng, n, s.n_genes), 0});
  while (lineage.newest()->generation < *s.n_generations) {
    const Population& newest = *lineage.newest();
    const Chromosomes parents = select_copies(rng, ops, newest.chromosomes, n);
    const Chromosomes offspring = cross_copies(rng, ops, parents, n, s.p_crossover);
    Population next{mutate_copies(rng, ops, offspring, n, s.p_mutation), newest.generation + 1};
    add(std::move(next));
  }
  return std::move(lineage).to_lineage();
}

TEST(RunSga, MovingRunMatchesCopyingRun) {
  for (std::uint64_t n_chromosomes : {2, 5, 8}) {
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
      CoreSettings s = settings(n_chromosomes, 6);
      s.n_hall_of_fame = 3;
      Operators moving_ops;
      Operators copying_ops;
      RandomSource moving = RandomSource::from_seed(seed);
      RandomSource copying = RandomSource::from_seed(seed);
      const Lineage got = moving_ops.run(moving, s).to_lineage();
      const Lineage expected = copying_run(copying, s, copying_ops);
      EXPECT_EQ(got, expected) << "n " << n_chromosomes << " seed " << seed;
      EXPECT_EQ(moving.next_u64(), copying.next_u64()) << "n " << n_chromosomes << " seed " << seed;
      EXPECT_EQ(moving_ops.evaluator.computed, copying_ops.evaluator.computed);
    }
  }
}

TEST(RunSga, ThreadSourceRunHasTheSameShape) {
  Operators ops;
  const Lineage lineage =
      run_sga(settings(4, 3), ops.generator, ops.evaluator, ops.recorder, ops.selector, ops.crossover, ops.mutator)
          .to_lineage();
  ASSERT_EQ(lineage.generations.size(), 3U);
  EXPECT_EQ(lineage.generations[0].generation(), 3U);
  EXPECT_EQ(lineage.records.size(), 4U);
}

struct FaultCase {
  std::string name;
  CoreSettings settings;
  std::string message;
  std::size_t evaluations;  // made before the fault
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class RunSgaFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(RunSgaFaults, EndsWithAFault) {
  const FaultCase& c = GetParam();
  Operators ops;
  RandomSource rng = RandomSource::from_seed(8);
  EXPECT_EQ(error_text([&] { ops.run(rng, c.settings); }), c.message);
  EXPECT_EQ(ops.evaluator.computed, c.evaluations);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunSgaFaults,
    testing::Values(FaultCase{"NoPopulationSize", settings(std::nullopt, 3),
                              "the run has no population size: n_chromosomes is not set", 0},
                    FaultCase{"NoGenerationLimit", settings(4, std::nullopt),
                              "the run has no generation limit: n_generations is not set", 0},
                    // The first population is made and evaluated, then nothing is kept to go on from.
                    FaultCase{"ZeroGenerations", settings(4, 0),
                              "the lineage keeps no population to select from: n_generations is 0", 4},
                    FaultCase{"OneChromosomeHasNoPair", settings(1, 2),
                              "crossover needs at least two parents to form a pair; it was given 1 for a count of 1",
                              1}),
    [](const testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(RunSga, MissingPopulationSizeDrawsNothing) {
  Operators ops;
  RandomSource rng = RandomSource::from_seed(8);
  RandomSource untouched = RandomSource::from_seed(8);
  EXPECT_THROW(ops.run(rng, settings(std::nullopt, 3)), Fault);
  EXPECT_EQ(rng.next_u64(), untouched.next_u64());
}

}  // namespace
}  // namespace genetic
