#include "recorder/recorder.hpp"

#include "fault.hpp"
#include "recorder/fitness_statistics_recorder.hpp"

namespace genetic {

std::unique_ptr<RecorderOperator> make_recorder(RecorderKind kind) {
  if (kind == RecorderKind::FitnessStatistics) return std::make_unique<FitnessStatisticsRecorder>();
  throw ConfigError("unrecognized recorder options");
}

// A histogram recorder has no implementation, whatever its precision.
std::unique_ptr<RecorderOperator> make_recorder(const RecorderHdrHistogram&) {
  throw ConfigError("unrecognized recorder options");
}

}  // namespace genetic
