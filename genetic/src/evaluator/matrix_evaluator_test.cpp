// Counting by bit lines against walking the marks, on random matrices and random gene
// sequences from fixed seeds: same fitness, or the same fault, every time.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "evaluator/mark_matrix.hpp"
#include "evaluator/matrix_evaluator.hpp"
#include "fault.hpp"
#include "random/random_source.hpp"

namespace genetic {
namespace {

struct Outcome {
  std::optional<double> fitness;
  std::string fault;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  if (o.fitness) return out << *o.fitness;
  return out << "fault: " << o.fault;
}

template <typename Evaluate>
Outcome outcome_of(Evaluate&& evaluate) {
  try {
    return {evaluate(), {}};
  } catch (const Fault& e) {
    return {{}, e.what()};
  }
}

// Marks and non-marks in several spellings: NaN and -7 are marks, -0.0 is not.
std::vector<double> random_cells(RandomSource& rng, std::uint64_t dimension, double density) {
  static constexpr double kMarkCells[] = {1.0, std::numeric_limits<double>::quiet_NaN(), 0.5, -7.0};
  static constexpr double kEmptyCells[] = {0.0, -0.0};
  std::vector<double> cells(dimension * dimension);
  for (double& cell : cells) {
    cell = rng.uniform_f64() < density ? kMarkCells[rng.uniform_index(0, 4)] : kEmptyCells[rng.uniform_index(0, 2)];
  }
  return cells;
}

std::shared_ptr<const MarkMatrix> random_matrix(RandomSource& rng, std::uint64_t dimension, double density) {
  return std::make_shared<const MarkMatrix>(random_cells(rng, dimension, density), dimension);
}

// Gene sequences of every shape a run can produce, most of them orderings.
Genes random_genes(RandomSource& rng, std::uint64_t dimension) {
  const std::uint64_t shape = rng.uniform_index(0, 8);
  if (dimension == 0 || shape == 7) {
    // Arbitrary values just around the matrix, of arbitrary length.
    Genes genes(rng.uniform_index(0, 6));
    for (Gene& gene : genes) gene = rng.uniform_index(0, dimension + 2);
    return genes;
  }
  const std::uint64_t length = shape <= 2 ? dimension : rng.uniform_index(0, dimension + 1);
  Genes genes = rng.sample_indices<Genes::allocator_type>(dimension, length);
  if (genes.size() >= 2 && shape == 5) genes[rng.uniform_index(0, genes.size())] = genes[0];  // a repeat
  if (!genes.empty() && shape == 6) {
    const Gene outside = rng.uniform_index(0, 2) == 0 ? dimension : std::numeric_limits<Gene>::max();
    genes[rng.uniform_index(0, genes.size())] = outside;
  }
  return genes;
}

std::string kind_name(EvaluatorKind kind) {
  static const char* const kinds[] = {"FeedbackDistance", "FeedbackMarks", "LowerLeftDistance"};
  return kinds[static_cast<int>(kind)];
}

class CountingAgreement : public ::testing::TestWithParam<EvaluatorKind> {};

// Lines of one word block and of several, marks of every density, orderings, parts of
// orderings, repeats (which the lines hand to a walk over their own bits) and faults.
TEST_P(CountingAgreement, LinesMatchTheWalkOverTheMarks) {
  const EvaluatorKind kind = GetParam();
  RandomSource rng = RandomSource::from_seed(0x5eed0000 + static_cast<std::uint64_t>(kind));
  int counted = 0;
  for (const std::uint64_t dimension : {0, 1, 2, 3, 7, 63, 64, 65, 100, 130, 257, 700, 1030}) {
    for (const double density : {0.0, 0.03, 0.3, 0.9, 1.0}) {
      const auto matrix = random_matrix(rng, dimension, density);
      const std::uint64_t offset = rng.uniform_index(0, 3) == 0 ? rng.next_u64() : 0;
      const auto lines = make_matrix_evaluator(kind, matrix, offset, Counting::Lines);
      const auto walk = make_matrix_evaluator(kind, matrix, offset, Counting::Marks);
      for (int trial = 0; trial < (dimension > 200 ? 6 : 40); ++trial) {
        const Genes genes = random_genes(rng, dimension);
        const Outcome expected = outcome_of([&] { return walk->fitness_of(genes); });
        ASSERT_EQ(outcome_of([&] { return lines->fitness_of(genes); }), expected)
            << "D " << dimension << ", density " << density << ", " << genes.size() << " genes, trial " << trial;
        Chromosomes population = {{genes, {}}};
        const Outcome batch = outcome_of([&] {
          lines->evaluate_population(population);
          return *population[0].fitness;
        });
        ASSERT_EQ(batch, expected) << "population of one, D " << dimension << ", trial " << trial;
        if (expected.fitness && genes.size() >= 2) ++counted;
      }
    }
  }
  // The draws must have exercised the counting, not only faults and short sequences.
  EXPECT_GT(counted, 1000);
}

INSTANTIATE_TEST_SUITE_P(Evaluator, CountingAgreement,
                         ::testing::Values(EvaluatorKind::FeedbackMarks, EvaluatorKind::FeedbackDistance,
                                           EvaluatorKind::LowerLeftDistance),
                         [](const auto& info) { return kind_name(info.param); });

// A whole population in one call, mixing cached, counted and repeating members.
TEST(CountingPopulation, MatchesChromosomeByChromosome) {
  RandomSource rng = RandomSource::from_seed(77);
  const auto matrix = random_matrix(rng, 70, 0.2);
  for (const EvaluatorKind kind :
       {EvaluatorKind::FeedbackMarks, EvaluatorKind::FeedbackDistance, EvaluatorKind::LowerLeftDistance}) {
    const auto evaluator = make_matrix_evaluator(kind, matrix, 3, Counting::Lines);
    const auto reference = make_matrix_evaluator(kind, matrix, 3, Counting::Marks);
    Chromosomes population;
    for (int i = 0; i < 60; ++i) {
      Genes genes = rng.sample_indices<Genes::allocator_type>(70, rng.uniform_index(1, 71));
      if (i % 5 == 0 && genes.size() > 1) genes[1] = genes[0];
      population.push_back({std::move(genes), i % 7 == 0 ? std::optional<double>(-1.0) : std::nullopt});
    }
    std::vector<std::optional<double>> expected;
    for (const Chromosome& c : population) expected.push_back(c.fitness ? c.fitness : reference->fitness_of(c.genes));
    evaluator->evaluate_population(population);
    std::vector<std::optional<double>> evaluated;
    for (const Chromosome& c : population) evaluated.push_back(c.fitness);
    EXPECT_EQ(evaluated, expected);
  }
}

TEST(CheaperCounting, WalksOnlySparseMarks) {
  RandomSource rng = RandomSource::from_seed(8);
  EXPECT_EQ(cheaper_counting(EvaluatorKind::FeedbackMarks, *random_matrix(rng, 2000, 0.0005)), Counting::Marks);
  EXPECT_EQ(cheaper_counting(EvaluatorKind::FeedbackMarks, *random_matrix(rng, 2000, 0.3)), Counting::Lines);
}

TEST(MarkMatrixLines, HoldEachMarkOnceByRowAndByColumn) {
  // 65 columns: the last mark of each line lands in a second word, within a block of four.
  RandomSource rng = RandomSource::from_seed(3);
  const std::vector<double> cells = random_cells(rng, 65, 0.4);
  const MarkMatrix matrix(cells, 65);
  ASSERT_EQ(matrix.words(), 4u);
  for (std::uint64_t r = 0; r < 65; ++r) {
    std::uint64_t row_total = 0;
    for (std::uint64_t c = 0; c < 65; ++c) {
      const bool mark = MarkMatrix::is_mark(cells[r * 65 + c]);
      EXPECT_EQ(matrix.mark(r, c), mark) << r << ", " << c;
      EXPECT_EQ((matrix.row_line(r)[c / 64] >> (c % 64)) & 1, mark) << r << ", " << c;
      EXPECT_EQ((matrix.column_line(c)[r / 64] >> (r % 64)) & 1, mark) << r << ", " << c;
      row_total += mark;
    }
    EXPECT_EQ(matrix.row_marks(r), row_total);
    // Bits past the last column stay clear, or they would count as marks.
    EXPECT_EQ(matrix.row_line(r)[1] >> 1, 0u);
    EXPECT_EQ(matrix.row_line(r)[2] | matrix.row_line(r)[3], 0u);
    EXPECT_EQ(matrix.column_line(r)[1] >> 1, 0u);
    EXPECT_EQ(matrix.column_line(r)[2] | matrix.column_line(r)[3], 0u);
  }
}

TEST(MarkMatrixLines, ColumnCountsMatchTheCells) {
  RandomSource rng = RandomSource::from_seed(4);
  for (const std::uint64_t dimension : {1, 64, 200, 300}) {
    const std::vector<double> cells = random_cells(rng, dimension, 0.3);
    const MarkMatrix matrix(cells, dimension);
    for (std::uint64_t c = 0; c < dimension; ++c) {
      std::uint64_t total = 0;
      for (std::uint64_t r = 0; r < dimension; ++r) {
        total += MarkMatrix::is_mark(cells[r * dimension + c]);
        ASSERT_EQ(matrix.mark(r, c), MarkMatrix::is_mark(cells[r * dimension + c])) << r << ", " << c;
      }
      EXPECT_EQ(matrix.column_marks(c), total) << "D " << dimension << ", column " << c;
    }
  }
}

}  // namespace
}  // namespace genetic
