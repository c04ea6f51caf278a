#pragma once
// The kinds of each operator role, with the integer values callers see.
#include <cstdint>

namespace genetic {

enum class GeneratorKind : std::uint8_t { RandomSequence = 0 };
enum class EvaluatorKind : std::uint8_t { FeedbackDistance = 0, FeedbackMarks = 1, LowerLeftDistance = 2, Value = 3 };
enum class RecorderKind : std::uint8_t { FitnessStatistics = 0, HdrHistogram = 1 };
enum class SelectorKind : std::uint8_t { Roulette = 0, Random = 1 };
enum class ConvergenceKind : std::uint8_t { Never = 0 };
enum class CrossoverKind : std::uint8_t { IPX = 0, Point = 1, Blend = 2, SimulatedBinary = 3 };
enum class MutatorKind : std::uint8_t { Swap = 0 };

}  // namespace genetic
