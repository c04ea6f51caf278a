#include "evaluator/evaluator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "evaluator/matrix_evaluator.hpp"
#include "fault.hpp"
#include "testing.hpp"

namespace genetic {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr auto kMarks = EvaluatorKind::FeedbackMarks;
constexpr auto kDistance = EvaluatorKind::FeedbackDistance;
constexpr auto kLowerLeft = EvaluatorKind::LowerLeftDistance;

// The fitness as make_evaluator counts it, checked against both ways of counting.
double fitness(EvaluatorKind kind, std::vector<double> matrix, Genes genes, std::optional<std::uint64_t> offset = {}) {
  const EvaluatorMatrix options{kind, std::move(matrix), offset};
  const double chosen = make_evaluator(options)->fitness_of(genes);
  for (const Counting counting : {Counting::Lines, Counting::Marks}) {
    const double counted =
        make_matrix_evaluator(kind, options.matrix.marks(), offset.value_or(0), counting)->fitness_of(genes);
    EXPECT_EQ(counted, chosen) << "counting " << static_cast<int>(counting);
  }
  return chosen;
}

std::string fault_text(EvaluatorKind kind, std::vector<double> matrix, Genes genes) {
  const auto marks = Cells(std::move(matrix)).marks();
  std::string texts;
  for (const Counting counting : {Counting::Lines, Counting::Marks}) {
    try {
      make_matrix_evaluator(kind, marks, 0, counting)->fitness_of(genes);
      return "no fault";
    } catch (const Fault& e) {
      if (!texts.empty() && texts != e.what()) return "different faults";
      texts = e.what();
    }
  }
  return texts;
}

std::string config_error(const EvaluatorMatrix& options) {
  return error_text<ConfigError>([&] { make_evaluator(options); });
}

// Marks in cells (0, 1), (1, 2) and (2, 0).
const std::vector<double> kCycle = {0, 1, 0, 0, 0, 1, 1, 0, 0};

// Marks in cells (0, 3), (1, 0), (2, 1) and the diagonal cell (3, 3).
const std::vector<double> kFour = {0, 0, 0, 1,  //
                                   1, 0, 0, 0,  //
                                   0, 1, 0, 0,  //
                                   0, 0, 0, 1};

struct ExampleCase {
  std::string name;
  EvaluatorKind kind;
  std::vector<double> matrix;
  Genes genes;
  std::optional<std::uint64_t> offset;
  double expected;
};

void PrintTo(const ExampleCase& c, std::ostream* out) { *out << c.name; }

class MatrixExamples : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(MatrixExamples, GiveTheHandCountedFitness) {
  const auto& c = GetParam();
  EXPECT_EQ(fitness(c.kind, c.matrix, c.genes, c.offset), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Evaluator, MatrixExamples,
    ::testing::Values(
        // Three genes of a 3 x 3 cycle: pairs (0, 1) and (1, 2) lie above the diagonal.
        ExampleCase{"CycleMarks", kMarks, kCycle, {0, 1, 2}, {}, 1.0},
        ExampleCase{"CycleDistance", kDistance, kCycle, {0, 1, 2}, {}, 2.0},
        ExampleCase{"CycleLowerLeft", kLowerLeft, kCycle, {0, 1, 2}, {}, 6.0},
        ExampleCase{"CycleMarksOffset", kMarks, kCycle, {0, 1, 2}, 10, 11.0},
        ExampleCase{"CycleDistanceOffset", kDistance, kCycle, {0, 1, 2}, 10, 12.0},
        ExampleCase{"CycleLowerLeftOffset", kLowerLeft, kCycle, {0, 1, 2}, 10, 16.0},
        ExampleCase{"OffsetZeroIsNoOffset", kDistance, kCycle, {0, 1, 2}, 0, 2.0},
        // Reversed, only the mark (2, 0) lies above the diagonal, two positions apart.
        ExampleCase{"CycleReversedMarks", kMarks, kCycle, {2, 1, 0}, {}, 2.0},
        ExampleCase{"CycleReversedDistance", kDistance, kCycle, {2, 1, 0}, {}, 2.0},
        // [2, 0, 3, 1]: above the diagonal (2, 1) at distance 3 and (0, 3) at distance 1;
        // LowerLeft weighs (2, 1) 6, (0, 3) 4, (3, 3) 3 and (1, 0) 1.
        ExampleCase{"FourMarks", kMarks, kFour, {2, 0, 3, 1}, {}, 6.0 - 2.0},
        ExampleCase{"FourDistance", kDistance, kFour, {2, 0, 3, 1}, {}, 10.0 - 4.0},
        ExampleCase{"FourLowerLeft", kLowerLeft, kFour, {2, 0, 3, 1}, {}, 14.0},
        // Part of an ordering: [3, 1, 0] keeps (1, 0) above the diagonal; LowerLeft
        // weighs (3, 3) 2, (1, 0) 3 and (0, 3), in the lower-left corner, 0.
        ExampleCase{"FourPartialMarks", kMarks, kFour, {3, 1, 0}, {}, 5.0},
        ExampleCase{"FourPartialDistance", kDistance, kFour, {3, 1, 0}, {}, 9.0},
        ExampleCase{"FourPartialLowerLeft", kLowerLeft, kFour, {3, 1, 0}, {}, 5.0},
        // NaN cells are marks, -0.0 cells are not, and a mark's size does not matter.
        ExampleCase{"NaNIsAMark", kMarks, {0, kNaN, 0, 0}, {0, 1}, {}, 0.0},
        ExampleCase{"NegativeZeroIsNoMark", kMarks, {0, -0.0, 0, 0}, {0, 1}, {}, 1.0},
        ExampleCase{"SizeOfAMarkIsIgnored", kDistance, {0, 0.5, -7, 0}, {0, 1}, {}, 0.0},
        // The feedback kinds never read the diagonal; LowerLeft weighs a marked one n - 1.
        ExampleCase{"DiagonalUnreadByMarks", kMarks, {1, 0, 0, 1}, {0, 1}, {}, 1.0},
        ExampleCase{"DiagonalUnderLowerLeft", kLowerLeft, {1, 0, 0, 1}, {1, 0}, {}, 2.0},
        // Marks below the diagonal do not lower the feedback fitness.
        ExampleCase{"BelowDiagonalIsFree", kMarks, {0, 0, 1, 0}, {0, 1}, {}, 1.0},
        // One gene reads no cell and checks no index, even outside the matrix.
        ExampleCase{"OneGeneMarks", kMarks, kCycle, {99}, 5, 8.0},
        ExampleCase{"OneGeneDistance", kDistance, kCycle, {99}, 5, 9.0},
        ExampleCase{"EmptyLowerLeftIsOffset", kLowerLeft, kCycle, {}, 7, 7.0},
        ExampleCase{"EmptyMatrixLowerLeft", kLowerLeft, {}, {}, 3, 3.0},
        ExampleCase{"EmptyMatrixOneGeneMarks", kMarks, {}, {4}, 3, 3.0},
        // Counting is modulo 2^64: six repeated-gene marks against a maximum of one.
        ExampleCase{"MarksWrapAround", kMarks, {1, 1, 1, 1}, {0, 0, 0, 0}, {}, 18446744073709551611.0},
        ExampleCase{"OffsetWrapsAround", kLowerLeft, kCycle, {0, 1, 2}, 0xFFFFFFFFFFFFFFFFULL, 5.0}),
    [](const auto& info) { return info.param.name; });

struct FaultCase {
  std::string name;
  EvaluatorKind kind;
  std::vector<double> matrix;
  Genes genes;
  std::string message;
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class MatrixFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(MatrixFaults, StopTheEvaluation) {
  const auto& c = GetParam();
  EXPECT_EQ(fault_text(c.kind, c.matrix, c.genes), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Evaluator, MatrixFaults,
    ::testing::Values(FaultCase{"LastGeneAsColumn", kMarks, kCycle, {0, 1, 3}, kIndexOutOfBounds},
                      FaultCase{"FirstGeneAsRow", kDistance, kCycle, {3, 1, 0}, kIndexOutOfBounds},
                      FaultCase{"HugeGene", kLowerLeft, kCycle, {0, 0xFFFFFFFFFFFFFFFFULL}, kIndexOutOfBounds},
                      FaultCase{"OneGeneLowerLeft", kLowerLeft, kCycle, {3}, kIndexOutOfBounds},
                      FaultCase{"EmptyMatrixOneGeneLowerLeft", kLowerLeft, {}, {0}, kIndexOutOfBounds},
                      FaultCase{"EmptyMatrixTwoGenesMarks", kMarks, {}, {0, 0}, kIndexOutOfBounds},
                      FaultCase{"EmptyMatrixTwoGenesDistance", kDistance, {}, {0, 0}, kIndexOutOfBounds},
                      FaultCase{"RepeatedGeneOutside", kMarks, kCycle, {1, 5, 1}, kIndexOutOfBounds},
                      FaultCase{"EmptyMarks", kMarks, kCycle, {}, kEmptyFeedback},
                      FaultCase{"EmptyDistance", kDistance, kCycle, {}, kEmptyFeedback}),
    [](const auto& info) { return info.param.name; });

TEST(EvaluatorOptions, ValueKindIsRefusedWithoutLookingAtTheMatrix) {
  EXPECT_EQ(config_error({EvaluatorKind::Value, {1, 2, 3}, {}}), "unrecognized evaluator options");
  EXPECT_EQ(config_error({EvaluatorKind::Value, {}, 4}), "unrecognized evaluator options");
}

TEST(EvaluatorOptions, MatrixMustBeSquare) {
  EXPECT_EQ(config_error({kMarks, std::vector<double>(10), {}}), "Vector should be of size dimensions^2. 3*3 != 10");
  EXPECT_EQ(config_error({kLowerLeft, std::vector<double>(2), {}}), "Vector should be of size dimensions^2. 1*1 != 2");
  EXPECT_EQ(config_error({kDistance, std::vector<double>(99), {}}), "Vector should be of size dimensions^2. 9*9 != 99");
  EXPECT_EQ(config_error({kDistance, std::vector<double>(9), {}}), "no error");
  EXPECT_EQ(config_error({kDistance, {}, {}}), "no error");
}

TEST(EvaluatorValue, GivesItsValueWhateverTheGenes) {
  const auto evaluator = make_evaluator(EvaluatorValue{-2.5});
  EXPECT_EQ(evaluator->fitness_of(Genes{}), -2.5);
  EXPECT_EQ(evaluator->fitness_of(Genes{7, 7, 0xFFFFFFFFFFFFFFFFULL}), -2.5);
}

class PopulationEvaluation : public ::testing::TestWithParam<bool> {};

TEST_P(PopulationEvaluation, FillsOnlyMissingFitness) {
  const auto evaluator =
      GetParam() ? make_evaluator(EvaluatorMatrix{kMarks, kCycle, {}}) : make_evaluator(EvaluatorValue{1.0});
  // Stale values stay, even when the genes would evaluate otherwise.
  Chromosomes population = {{{0, 1, 2}, 42.0}, {{0, 1, 2}, {}}, {{2, 1, 0}, -0.0}, {{2, 1, 0}, {}}};
  evaluator->evaluate_population(population);
  EXPECT_EQ(population[0].fitness, 42.0);
  EXPECT_EQ(population[1].fitness, 1.0);
  EXPECT_TRUE(std::signbit(*population[2].fitness));
  EXPECT_EQ(population[3].fitness, GetParam() ? 2.0 : 1.0);

  Chromosome cached{{0, 1, 2}, 9.0};
  EXPECT_EQ(evaluator->evaluate_chromosome(cached), 9.0);
  Chromosome fresh{{0, 1, 2}, {}};
  EXPECT_EQ(evaluator->evaluate_chromosome(fresh), 1.0);
  EXPECT_EQ(fresh.fitness, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Evaluator, PopulationEvaluation, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Matrix" : "Value"; });

TEST(PopulationEvaluationFaults, StopAtTheFirstFault) {
  const auto evaluator = make_evaluator(EvaluatorMatrix{kMarks, kCycle, {}});
  Chromosomes population = {{{0, 1, 2}, {}}, {{0, 9}, {}}, {{0, 1, 2}, {}}};
  EXPECT_THROW(evaluator->evaluate_population(population), Fault);
  EXPECT_EQ(population[0].fitness, 1.0);
  EXPECT_FALSE(population[2].fitness.has_value());
}

}  // namespace
}  // namespace genetic
