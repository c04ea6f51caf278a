#include "crossover/blending.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <format>

#include "fault.hpp"

namespace genetic {
namespace {

[[noreturn, gnu::cold]] void fault_out_of_range(double value) {
  fault(std::format("a mixed gene value of {} is outside the gene range (-1, 2^64)", value));
}

// Both crossovers walk the common positions with one draw each.
template <typename Mix>
std::pair<Genes, Genes> mix_positions(RandomSource& rng, std::span<const Gene> a, std::span<const Gene> b, Mix mix) {
  Genes child1(a.size(), 0);
  Genes child2(b.size(), 0);
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto [value1, value2] = mix(rng.uniform_f64(), a[i], b[i]);
    child1[i] = value1;
    child2[i] = value2;
  }
  return {std::move(child1), std::move(child2)};
}

}  // namespace

Gene gene_from_value(double value) {
  // Written so that NaN fails both comparisons.
  if (!(value > -1.0 && value < 0x1p64)) [[unlikely]]
    fault_out_of_range(value);
  return value <= 0.0 ? Gene{0} : static_cast<Gene>(value);
}

std::pair<Gene, Gene> blend_values(double u, double k, double alpha, Gene a, Gene b) {
  const double gamma = u * k - alpha;
  const auto x = static_cast<double>(a);
  const auto y = static_cast<double>(b);
  const Gene child1 = gene_from_value(gamma * x + (1.0 - gamma) * y);
  const Gene child2 = gene_from_value((1.0 - gamma) * x + gamma * y);
  return {child1, child2};
}

std::pair<Gene, Gene> simulated_binary_values(double u, double e, Gene a, Gene b) {
  const double base = u < 0.5 ? 2.0 * u : 1.0 / ((1.0 - u) * 2.0);
  const double beta = std::pow(base, e);
  const auto x = static_cast<double>(a);
  const auto y = static_cast<double>(b);
  const Gene child1 = gene_from_value(0.5 * ((1.0 + beta) * x + (1.0 - beta) * y));
  const Gene child2 = gene_from_value(0.5 * ((1.0 - beta) * x + (1.0 + beta) * y));
  return {child1, child2};
}

std::pair<Genes, Genes> BlendCrossover::cross_genes(RandomSource& rng, std::span<const Gene> a,
                                                    std::span<const Gene> b) const {
  const double alpha = alpha_;
  const double k = (alpha + alpha) + 1.0;
  return mix_positions(rng, a, b, [k, alpha](double u, Gene x, Gene y) { return blend_values(u, k, alpha, x, y); });
}

std::pair<Genes, Genes> SimulatedBinaryCrossover::cross_genes(RandomSource& rng, std::span<const Gene> a,
                                                              std::span<const Gene> b) const {
  const double e = 1.0 / (eta_ + 1.0);
  return mix_positions(rng, a, b, [e](double u, Gene x, Gene y) { return simulated_binary_values(u, e, x, y); });
}

}  // namespace genetic
