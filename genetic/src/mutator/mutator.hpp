#pragma once
// Mutator options as callers give them, and the operator a run makes of them. There is
// one kind, so the operator is concrete and needs no interface.
#include "mutator/swap.hpp"

namespace genetic {

struct MutatorSwap {
  double p_swap = 0.0;
  bool operator==(const MutatorSwap&) const = default;
};

inline SwapMutator make_mutator(const MutatorSwap& options) noexcept { return SwapMutator(options.p_swap); }

}  // namespace genetic
