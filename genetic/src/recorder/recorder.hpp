#pragma once
// Recorder options as callers give them, and the recorder a run makes of them.
#include <cstdint>
#include <memory>

#include "kinds.hpp"
#include "recorder/recorder_operator.hpp"

namespace genetic {

// A histogram recorder can be named and configured but has no implementation.
struct RecorderHdrHistogram {
  std::uint8_t sigfig = 0;
  bool operator==(const RecorderHdrHistogram&) const = default;
};

// ConfigError "unrecognized recorder options" for anything but FitnessStatistics.
std::unique_ptr<RecorderOperator> make_recorder(RecorderKind kind);
std::unique_ptr<RecorderOperator> make_recorder(const RecorderHdrHistogram& options);

}  // namespace genetic
