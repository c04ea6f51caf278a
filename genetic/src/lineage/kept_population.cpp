#include "lineage/kept_population.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace genetic {
namespace {

// Both loops below run over every gene a run keeps, once per generation: they are
// built for AVX2 as well, picked when the processor has it.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define GENETIC_WIDE_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define GENETIC_WIDE_CLONES
#endif

// Every gene of the population ORed together: at least its largest gene, and below
// the next power of two, so it decides the width as the maximum would.
GENETIC_WIDE_CLONES Gene gene_bits(const Chromosome* chromosomes, std::size_t count) {
  Gene bits = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const Gene* const genes = chromosomes[k].genes.data();
    const std::size_t n = chromosomes[k].genes.size();
    Gene line = 0;
    for (std::size_t i = 0; i < n; ++i) line |= genes[i];
    bits |= line;
  }
  return bits;
}

// Each gene cut to its low bytes (the width was chosen so that nothing is lost).
template <class Narrow>
[[gnu::always_inline]] inline void narrow_into(const Chromosome* chromosomes, std::size_t count, Narrow* to) {
  for (std::size_t k = 0; k < count; ++k) {
    const Gene* const genes = chromosomes[k].genes.data();
    const std::size_t n = chromosomes[k].genes.size();
    for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<Narrow>(genes[i]);
    to += n;
  }
}
GENETIC_WIDE_CLONES void narrow_u8(const Chromosome* chromosomes, std::size_t count, std::uint8_t* to) {
  narrow_into(chromosomes, count, to);
}
GENETIC_WIDE_CLONES void narrow_u16(const Chromosome* chromosomes, std::size_t count, std::uint16_t* to) {
  narrow_into(chromosomes, count, to);
}
GENETIC_WIDE_CLONES void narrow_u32(const Chromosome* chromosomes, std::size_t count, std::uint32_t* to) {
  narrow_into(chromosomes, count, to);
}
void narrow_u64(const Chromosome* chromosomes, std::size_t count, std::uint64_t* to) {
  for (std::size_t k = 0; k < count; ++k) to = std::copy(chromosomes[k].genes.begin(), chromosomes[k].genes.end(), to);
}

template <class Narrow>
std::vector<Narrow, UninitialisedAllocator<Narrow>> narrowed(const Population& population, std::size_t total,
                                                             void (*narrow)(const Chromosome*, std::size_t, Narrow*)) {
  std::vector<Narrow, UninitialisedAllocator<Narrow>> out(total);
  narrow(population.chromosomes.data(), population.chromosomes.size(), out.data());
  return out;
}

}  // namespace

KeptPopulation::Packed KeptPopulation::pack_genes(const Population& population) {
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
  const Gene bits = gene_bits(population.chromosomes.data(), population.chromosomes.size());
  if (bits <= std::numeric_limits<std::uint8_t>::max()) {
    packed.genes = narrowed<std::uint8_t>(population, total, narrow_u8);
  } else if (bits <= std::numeric_limits<std::uint16_t>::max()) {
    packed.genes = narrowed<std::uint16_t>(population, total, narrow_u16);
  } else if (bits <= std::numeric_limits<std::uint32_t>::max()) {
    packed.genes = narrowed<std::uint32_t>(population, total, narrow_u32);
  } else {
    packed.genes = narrowed<std::uint64_t>(population, total, narrow_u64);
  }
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

void KeptPopulation::pack() {
  if (const Population* population = whole()) form_ = pack_genes(*population);
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
