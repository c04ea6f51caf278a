#include "evaluator/cells.hpp"

#include <cmath>
#include <utility>

namespace genetic {

std::uint64_t matrix_dimension(std::uint64_t length) noexcept {
  return static_cast<std::uint64_t>(std::sqrt(static_cast<double>(length)));
}

Cells::Cells() : Cells(std::vector<double>()) {}

Cells::Cells(std::vector<double> values) {
  auto shared = std::make_shared<Shared>();
  shared->values = std::move(values);
  const std::uint64_t length = shared->values.size();
  const std::uint64_t dimension = matrix_dimension(length);
  if (dimension * dimension == length) shared->marks.emplace(shared->values, dimension);
  shared_ = std::move(shared);
}

}  // namespace genetic
