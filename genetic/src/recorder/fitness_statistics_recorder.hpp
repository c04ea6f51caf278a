#pragma once
// The recorder of kind FitnessStatistics: stateless, one record per population.
#include "recorder/recorder_operator.hpp"

namespace genetic {

class FitnessStatisticsRecorder final : public RecorderOperator {
 public:
  FitnessStatistics record(const Population& population) const override;
};

}  // namespace genetic
