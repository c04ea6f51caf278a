#include "lineage/kept_population.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace genetic {
namespace {

// Each gene cut to its low bytes, in one pass with the OR of all the genes, which
// tells whether the cut lost anything: the OR is at least the largest gene and below
// the next power of two, so it decides the width as the maximum would.
template <class Narrow>
Gene narrow_into(const Chromosome* chromosomes, std::size_t count, Narrow* to) {
  Gene bits = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const Gene* const genes = chromosomes[k].genes.data();
    const std::size_t n = chromosomes[k].genes.size();
    Gene line = 0;
    for (std::size_t i = 0; i < n; ++i) {
      line |= genes[i];
      to[i] = static_cast<Narrow>(genes[i]);
    }
    bits |= line;
    to += n;
  }
  return bits;
}

// The narrowest width, in bytes, that holds every gene whose OR is `bits`.
unsigned width_of(Gene bits) {
  if (bits <= std::numeric_limits<std::uint8_t>::max()) return 1;
  if (bits <= std::numeric_limits<std::uint16_t>::max()) return 2;
  if (bits <= std::numeric_limits<std::uint32_t>::max()) return 4;
  return 8;
}

}  // namespace

// The genes at `width` bytes each into `genes`; returns the OR of them all.
template <class GeneLists>
Gene KeptPopulation::narrow_to(const Population& population, std::size_t total, unsigned width, GeneLists& genes) {
  const auto into = [&](auto narrow, auto list) {
    list.resize(total);
    const Gene bits = narrow(population.chromosomes.data(), population.chromosomes.size(), list.data());
    genes = std::move(list);
    return bits;
  };
  switch (width) {
    case 1:
      return into(narrow_into<std::uint8_t>, Packed::List<std::uint8_t>());
    case 2:
      return into(narrow_into<std::uint16_t>, Packed::List<std::uint16_t>());
    case 4:
      return into(narrow_into<std::uint32_t>, Packed::List<std::uint32_t>());
    default:
      return into(narrow_into<std::uint64_t>, Packed::List<std::uint64_t>());
  }
}

KeptPopulation::Packed KeptPopulation::pack_genes(const Population& population, unsigned width_guess) {
  Packed packed;
  packed.generation = population.generation;
  packed.ends.reserve(population.chromosomes.size());
  packed.fitness.reserve(population.chromosomes.size());
  std::size_t total = 0;
  for (const Chromosome& chromosome : population.chromosomes) {
    total += chromosome.genes.size();
    packed.ends.push_back(total);
    packed.fitness.push_back(chromosome.fitness);
  }
  // A wrong guess costs a second pass; a width wider than needed is never kept, so
  // equal populations always pack alike.
  const unsigned width = width_of(narrow_to(population, total, width_guess, packed.genes));
  if (width != width_guess) narrow_to(population, total, width, packed.genes);
  return packed;
}

Population KeptPopulation::unpack(const Packed& packed) {
  Population population;
  population.generation = packed.generation;
  population.chromosomes.reserve(packed.ends.size());
  std::visit(
      [&](const auto& genes) {
        std::size_t begin = 0;
        for (std::size_t k = 0; k < packed.ends.size(); ++k) {
          const std::size_t end = packed.ends[k];
          population.chromosomes.push_back(Chromosome{
              .genes = Genes(genes.begin() + static_cast<std::ptrdiff_t>(begin),
                             genes.begin() + static_cast<std::ptrdiff_t>(end)),
              .fitness = packed.fitness[k],
          });
          begin = end;
        }
      },
      packed.genes);
  return population;
}

Population KeptPopulation::population() const {
  if (const Population* population = whole()) return *population;
  return unpack(std::get<Packed>(form_));
}

std::uint64_t KeptPopulation::generation() const noexcept {
  if (const Population* population = whole()) return population->generation;
  return std::get<Packed>(form_).generation;
}

void KeptPopulation::pack(unsigned width_guess) {
  if (const Population* population = whole()) form_ = pack_genes(*population, width_guess);
}

unsigned KeptPopulation::width() const noexcept {
  if (whole() != nullptr) return sizeof(Gene);
  return static_cast<unsigned>(
      std::visit([](const auto& genes) { return sizeof(genes[0]); }, std::get<Packed>(form_).genes));
}

bool operator==(const KeptPopulation& a, const KeptPopulation& b) {
  const Population* const whole_a = a.whole();
  const Population* const whole_b = b.whole();
  if (whole_a != nullptr && whole_b != nullptr) return *whole_a == *whole_b;
  // The width follows from the genes, so equal populations pack alike.
  if (whole_a == nullptr && whole_b == nullptr) {
    return std::get<KeptPopulation::Packed>(a.form_) == std::get<KeptPopulation::Packed>(b.form_);
  }
  return a.population() == b.population();
}

}  // namespace genetic
