#pragma once
// The selector a run makes of each kind: selectors take no parameters, so a kind is
// the whole option.
#include <memory>

#include "kinds.hpp"
#include "selector/selector_operator.hpp"

namespace genetic {

std::unique_ptr<SelectorOperator> make_selector(SelectorKind kind);

}  // namespace genetic
