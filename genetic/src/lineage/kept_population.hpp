#pragma once
// A population as a lineage keeps it. The newest population of a run stays whole,
// because the next generation is selected from it; older ones are packed: all their
// genes in one list at the narrowest width (1, 2, 4 or 8 bytes) that holds the
// population's largest gene. Orderings of fewer than 256 genes then take an eighth
// of the bytes, of up to 65 536 genes a quarter, and the gene lists a packed
// population gave up are reused by the next generations instead of a run asking the
// system for fresh memory every generation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "population/chromosome.hpp"
#include "population/gene_memory.hpp"

namespace genetic {

// Memory for lists that are written in full right after they are made: making one
// with a length leaves its elements uninitialised instead of zeroing them first.
template <class T>
struct UninitialisedAllocator : GeneAllocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  friend constexpr bool operator==(UninitialisedAllocator, UninitialisedAllocator) noexcept { return true; }
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

class KeptPopulation {
 public:
  // Kept whole: the population is moved in, no gene list is copied.
  explicit KeptPopulation(Population population) : form_(std::move(population)) {}

  // The population as a value of its own: a copy when whole, unpacked otherwise.
  Population population() const;
  std::uint64_t generation() const noexcept;
  // The population itself while it is whole; null once packed.
  const Population* whole() const noexcept { return std::get_if<Population>(&form_); }
  bool packed() const noexcept { return whole() == nullptr; }

  // Packs a whole population in place (a packed one stays as it is), giving up its
  // gene lists. `width_guess` (1, 2, 4 or 8) is the width the genes likely need, such
  // as that of the population packed before: a right guess packs in a single pass.
  void pack(unsigned width_guess = 1);
  // Bytes a gene takes: the packed width, or a whole gene's.
  unsigned width() const noexcept;

  // Population equality, whatever the form of either side.
  friend bool operator==(const KeptPopulation& a, const KeptPopulation& b);

 private:
  struct Packed {
    // Every chromosome's genes, one after another, at one width.
    template <class T>
    using List = std::vector<T, UninitialisedAllocator<T>>;
    std::variant<List<std::uint8_t>, List<std::uint16_t>, List<std::uint32_t>, List<std::uint64_t>> genes;
    std::vector<std::size_t> ends;  // where each chromosome's genes end in `genes`
    std::vector<std::optional<double>> fitness;
    std::uint64_t generation = 0;

    // Same width, genes, bounds and generation, and fitness values compared as floats.
    bool operator==(const Packed&) const = default;
  };

  static Packed pack_genes(const Population& population, unsigned width_guess);
  template <class GeneLists>
  static Gene narrow_to(const Population& population, std::size_t total, unsigned width, GeneLists& genes);
  static Population unpack(const Packed& packed);

  std::variant<Population, Packed> form_;
};

}  // namespace genetic
