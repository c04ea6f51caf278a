#pragma once
// Python faces of the recorder role: the statistics record, the recorder kinds and
// the histogram recorder's option class.
#include <array>
#include <tuple>

#include "binding/kinds.hpp"
#include "binding/klass.hpp"
#include "kinds.hpp"
#include "recorder/fitness_statistics.hpp"
#include "recorder/recorder.hpp"

namespace faces {

using binding::Field;

struct FitnessStatisticsClass {
  using Value = genetic::FitnessStatistics;
  static constexpr const char* name = "FitnessStatistics";
  static constexpr const char* text = "Fitness statistics record.";
  static constexpr std::tuple fields{
      Field<&Value::size>{"size"}, Field<&Value::min>{"min"},   Field<&Value::max>{"max"},
      Field<&Value::sum>{"sum"},   Field<&Value::mean>{"mean"}, Field<&Value::variance>{"variance"},
  };
};

struct RecorderKindsClass {
  using Value = genetic::RecorderKind;
  using Machinery = binding::Kinds<RecorderKindsClass>;
  static constexpr const char* name = "RecorderKinds";
  static constexpr const char* text = "Recorder kinds, i.e. the statistics tracker implementation.";
  static constexpr bool constructible = true;
  static constexpr std::array members{
      binding::Member<Value>{"FitnessStatistics", Value::FitnessStatistics},
      binding::Member<Value>{"HdrHistogram", Value::HdrHistogram},
  };
};

// Built and compared only: its parameter is taken by the constructor but not shown.
struct RecorderHdrHistogramClass {
  using Value = genetic::RecorderHdrHistogram;
  static constexpr const char* name = "RecorderHdrHistogram";
  static constexpr const char* text = "";
  static constexpr std::tuple parameters{Field<&Value::sigfig>{"sigfig"}};
  static constexpr std::tuple<> fields{};
};

}  // namespace faces

template <>
struct binding::ClassFor<genetic::FitnessStatistics> {
  using type = faces::FitnessStatisticsClass;
};
template <>
struct binding::ClassFor<genetic::RecorderKind> {
  using type = faces::RecorderKindsClass;
};
template <>
struct binding::ClassFor<genetic::RecorderHdrHistogram> {
  using type = faces::RecorderHdrHistogramClass;
};
