#pragma once
// The recorder role: one record per evaluated population.
#include "population/chromosome.hpp"
#include "recorder/fitness_statistics.hpp"

namespace genetic {

class RecorderOperator {
 public:
  virtual ~RecorderOperator() = default;
  virtual FitnessStatistics record(const Population& population) const = 0;
};

}  // namespace genetic
