#include "lineage/hall_of_fame.hpp"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <span>
#include <utility>

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

[[noreturn, gnu::cold]] void fault_no_fitness() { fault("the hall of fame was offered a chromosome without fitness"); }

double fitness_of(const Chromosome& chromosome) {
  if (!chromosome.fitness) [[unlikely]]
    fault_no_fitness();
  return *chromosome.fitness;
}

}  // namespace

std::size_t GenesHash::operator()(const Genes& genes) const {
  const HashKeys& k = keys();
  std::uint64_t h = k.seed;
  for (const Gene gene : genes) h = fold_multiply(h ^ gene, k.multiplier);
  // The length last, so that sequences differing only by trailing zeros part.
  return static_cast<std::size_t>(fold_multiply(h ^ genes.size(), k.multiplier ^ k.seed));
}

void RunHallOfFame::update(std::span<const Chromosome> population) {
  for (const Chromosome& candidate : population) offer(candidate);
}

void RunHallOfFame::offer(const Chromosome& candidate) {
  const double x = fitness_of(candidate);
  // Never more than `capacity` members: when full, a candidate is placed within the
  // capacity only by beating the worst member strictly, and never beats a settled one.
  const bool full = size() >= capacity_;
  if (full && (ranked_.empty() || !(x > std::prev(ranked_.end())->first))) return;
  if (!uniques_.insert(candidate.genes).second) return;
  if (std::isnan(x)) {
    // Placed last (a NaN beats nothing), it settles every member before it.
    drain_ranked(settled_);
    settled_.push_back(Chromosome{candidate.genes, x});
    return;
  }
  ranked_[x].push_back(Chromosome{candidate.genes, x});
  ++ranked_size_;
  if (full) {
    const auto worst = std::prev(ranked_.end());
    uniques_.erase(worst->second.back().genes);
    worst->second.pop_back();
    --ranked_size_;
    if (worst->second.empty()) ranked_.erase(worst);
  }
}

void RunHallOfFame::drain_ranked(Chromosomes& out) {
  out.reserve(out.size() + ranked_size_);
  for (auto& [fitness, members] : ranked_) {
    for (Chromosome& member : members) out.push_back(std::move(member));
  }
  ranked_.clear();
  ranked_size_ = 0;
}

const Chromosome* RunHallOfFame::best() const noexcept {
  if (!settled_.empty()) return &settled_.front();
  return ranked_.empty() ? nullptr : &ranked_.begin()->second.front();
}

HallOfFame RunHallOfFame::copy() const {
  HallOfFame out{.chromosomes = settled_, .uniques = uniques_, .capacity = capacity_};
  out.chromosomes.reserve(size());
  for (const auto& [fitness, members] : ranked_)
    out.chromosomes.insert(out.chromosomes.end(), members.begin(), members.end());
  return out;
}

HallOfFame RunHallOfFame::to_hall_of_fame() && {
  HallOfFame out{.chromosomes = std::move(settled_), .uniques = std::move(uniques_), .capacity = capacity_};
  drain_ranked(out.chromosomes);
  return out;
}

}  // namespace genetic
