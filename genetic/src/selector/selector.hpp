#pragma once
#include <memory>

#include "kinds.hpp"
#include "selector/selector_operator.hpp"

namespace genetic {

std::unique_ptr<SelectorOperator> make_selector(SelectorKind kind);

}  // namespace genetic
