#include "crossover/crossover.hpp"
#include "crossover/blending.hpp"
#include "crossover/ipx.hpp"
#include "crossover/point.hpp"
#include "fault.hpp"

namespace genetic {

std::unique_ptr<CrossoverOperator> make_crossover(CrossoverKind kind) {
  switch (kind) {
    case CrossoverKind::IPX:
      return std::make_unique<IpxCrossover>();
    case CrossoverKind::Point:
      return std::make_unique<PointCrossover>();
    case CrossoverKind::Blend:
    case CrossoverKind::SimulatedBinary:
      // These need a parameter, which only their option objects carry.
      break;
  }
  throw ConfigError("unrecognized crossover options");
}

std::unique_ptr<CrossoverOperator> make_crossover(const CrossoverBlend& options) {
  return std::make_unique<BlendCrossover>(options.alpha);
}

std::unique_ptr<CrossoverOperator> make_crossover(const CrossoverSimulatedBinary& options) {
  return std::make_unique<SimulatedBinaryCrossover>(options.eta);
}

}  // namespace genetic
