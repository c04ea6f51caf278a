#include "lineage/hall_of_fame.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>

#include "fault.hpp"
#include "random/entropy.hpp"

namespace genetic {
namespace {

struct HashKeys {
  std::uint64_t seed;
  std::uint64_t multiplier;
};

// Drawn from the operating system, not from a run's RandomSource, whose stream the
// hall of fame must not consume. Without OS bytes, a mix of addresses and the clock
// still varies the order from process to process.
HashKeys draw_keys() noexcept {
  std::uint64_t words[2] = {};
  if (!fill_from_os(std::as_writable_bytes(std::span(words)))) {
    static int anchor = 0;
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    words[0] = reinterpret_cast<std::uintptr_t>(&anchor) * 0x9e3779b97f4a7c15ULL ^ ticks;
    words[1] = (ticks << 17 | ticks >> 47) ^ reinterpret_cast<std::uintptr_t>(&words) * 0xbf58476d1ce4e5b9ULL;
  }
  return {words[0], words[1] | 1};  // an odd multiplier loses no bits
}

const HashKeys& keys() noexcept {
  static const HashKeys instance = draw_keys();
  return instance;
}

// Folded 128-bit product: every input bit reaches every output bit.
inline std::uint64_t fold_multiply(std::uint64_t x, std::uint64_t y) noexcept {
  __extension__ const unsigned __int128 product = static_cast<unsigned __int128>(x) * y;
  return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

[[noreturn, gnu::cold]] void fault_no_fitness() {
  fault("the hall of fame was offered a chromosome without fitness");
}

double fitness_of(const Chromosome& chromosome) {
  if (!chromosome.fitness) [[unlikely]] fault_no_fitness();
  return *chromosome.fitness;
}

}  // namespace

std::size_t GenesHash::operator()(const Genes& genes) const noexcept {
  const HashKeys& k = keys();
  std::uint64_t h = k.seed;
  for (const Gene gene : genes) h = fold_multiply(h ^ gene, k.multiplier);
  // The length last, so that sequences differing only by trailing zeros part.
  return static_cast<std::size_t>(fold_multiply(h ^ genes.size(), k.multiplier ^ k.seed));
}

void HallOfFame::update(std::span<const Chromosome> population) {
  for (const Chromosome& candidate : population) {
    const double x = fitness_of(candidate);
    // The rank among the first `capacity` members; equal fitness stays behind.
    std::size_t i = static_cast<std::size_t>(std::min<std::uint64_t>(chromosomes.size(), capacity));
    while (i > 0 && x > fitness_of(chromosomes[i - 1])) --i;
    if (i >= capacity) continue;
    if (!uniques.insert(candidate.genes).second) continue;
    chromosomes.insert(chromosomes.begin() + static_cast<std::ptrdiff_t>(i), Chromosome{candidate.genes, x});
    if (chromosomes.size() > capacity) {
      const auto beyond = chromosomes.begin() + static_cast<std::ptrdiff_t>(capacity);
      for (auto it = beyond; it != chromosomes.end(); ++it) uniques.erase(it->genes);
      chromosomes.erase(beyond, chromosomes.end());
    }
  }
}

}  // namespace genetic
