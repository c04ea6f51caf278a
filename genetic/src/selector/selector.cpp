#include "selector/selector.hpp"

#include "fault.hpp"
#include "selector/random.hpp"
#include "selector/roulette.hpp"

namespace genetic {

std::unique_ptr<SelectorOperator> make_selector(SelectorKind kind) {
  switch (kind) {
    case SelectorKind::Roulette:
      return std::make_unique<RouletteSelector>();
    case SelectorKind::Random:
      return std::make_unique<RandomSelector>();
  }
  fault("unrecognized selector kind");
}

}  // namespace genetic
