#include "recorder/fitness_statistics_recorder.hpp"

namespace genetic {

FitnessStatistics FitnessStatisticsRecorder::record(const Population& population) const {
  return fitness_statistics(population.chromosomes);
}

}  // namespace genetic
