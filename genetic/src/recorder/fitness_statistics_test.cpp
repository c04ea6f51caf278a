#include "recorder/fitness_statistics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "recorder/recorder.hpp"
#include "testing.hpp"

namespace genetic {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Population population_of(const std::vector<double>& fitness) {
  Population population;
  for (const double f : fitness) population.chromosomes.push_back({{0, 1}, f});
  return population;
}

FitnessStatistics record(const std::vector<double>& fitness) {
  return make_recorder(RecorderKind::FitnessStatistics)->record(population_of(fitness));
}

TEST(FitnessStatisticsRecord, EmptyPopulationDividesNothing) {
  const FitnessStatistics stats = record({});
  EXPECT_EQ(stats.size, 0u);
  EXPECT_EQ(stats.min, 0.0);
  EXPECT_EQ(stats.max, 0.0);
  EXPECT_EQ(stats.mean, 0.0);
  EXPECT_EQ(stats.variance, 0.0);
  EXPECT_EQ(stats.sum, 0.0);
  EXPECT_TRUE(std::signbit(stats.sum));
}

TEST(FitnessStatisticsRecord, OneChromosome) {
  EXPECT_EQ(record({4.0}), (FitnessStatistics{1, 4.0, 4.0, 4.0, 4.0, 0.0}));
}

TEST(FitnessStatisticsRecord, VarianceIsUndivided) {
  EXPECT_EQ(record({1.0, 2.0, 6.0}), (FitnessStatistics{3, 1.0, 6.0, 9.0, 3.0, 14.0}));
  EXPECT_EQ(record({6.0, 1.0, 2.0}), (FitnessStatistics{3, 1.0, 6.0, 9.0, 3.0, 14.0}));
}

TEST(FitnessStatisticsRecord, VarianceRoundsEachProductAndEachSum) {
  // Fusing the multiply into the add (as arm64 may) gives 2.6666666666666665.
  EXPECT_EQ(record({1.0, 1.0, 3.0}).variance, 2.666666666666667);
}

TEST(FitnessStatisticsRecord, SumsStrictlyLeftToRight) {
  // Compensated summation, or adding the large values first, would keep the 1.0 lost here.
  EXPECT_EQ(record({1e16, 1.0, -1e16}).sum, 0.0);
  EXPECT_EQ(record({1.0, 1e16, -1e16}).sum, 0.0);
  EXPECT_EQ(record({1e16, -1e16, 1.0}).sum, 1.0);
  // Starting from -0.0 keeps the sign of a lone -0.0.
  EXPECT_TRUE(std::signbit(record({-0.0}).sum));
  EXPECT_FALSE(std::signbit(record({-0.0, 0.0}).sum));
}

TEST(FitnessStatisticsRecord, NaNFirstStaysTheBound) {
  const FitnessStatistics stats = record({kNaN, 1.0});
  EXPECT_TRUE(std::isnan(stats.min));
  EXPECT_TRUE(std::isnan(stats.max));
  EXPECT_TRUE(std::isnan(stats.sum));
  EXPECT_TRUE(std::isnan(stats.mean));
  EXPECT_EQ(stats.size, 2u);
}

TEST(FitnessStatisticsRecord, NaNLaterNeverReplacesABound) {
  const FitnessStatistics stats = record({1.0, kNaN, 0.5, 3.0});
  EXPECT_EQ(stats.min, 0.5);
  EXPECT_EQ(stats.max, 3.0);
  EXPECT_TRUE(std::isnan(stats.sum));
  EXPECT_TRUE(std::isnan(stats.mean));
  EXPECT_TRUE(std::isnan(stats.variance));
}

TEST(FitnessStatisticsRecord, ChromosomeWithoutFitnessIsAFault) {
  Population population = population_of({1.0, 2.0});
  population.chromosomes.push_back({{0}, {}});
  EXPECT_THROW(fitness_statistics(population.chromosomes), Fault);
  EXPECT_THROW(make_recorder(RecorderKind::FitnessStatistics)->record(population), Fault);
}

TEST(RecorderOptions, OnlyFitnessStatisticsIsImplemented) {
  EXPECT_EQ(error_text<ConfigError>([] { make_recorder(RecorderKind::FitnessStatistics); }), "no error");
  EXPECT_EQ(error_text<ConfigError>([] { make_recorder(RecorderKind::HdrHistogram); }),
            "unrecognized recorder options");
  EXPECT_EQ(error_text<ConfigError>([] { make_recorder(RecorderHdrHistogram{3}); }), "unrecognized recorder options");
  EXPECT_EQ(error_text<ConfigError>([] { make_recorder(RecorderHdrHistogram{255}); }), "unrecognized recorder options");
}

}  // namespace
}  // namespace genetic
