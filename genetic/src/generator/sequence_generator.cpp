#include "generator/sequence_generator.hpp"

#include <type_traits>

namespace genetic {

// Gene values are the drawn indices themselves: the list is handed over, not widened.
static_assert(std::is_same_v<Gene, std::uint64_t>);

Chromosome SequenceGenerator::generate(RandomSource& rng, std::uint64_t n_genes) const {
  // sample_indices of an empty range draws nothing, so n_genes = 0 needs no branch.
  return Chromosome{rng.sample_indices<Genes::allocator_type>(n_genes, n_genes), std::nullopt};
}

Chromosomes SequenceGenerator::generate_population(RandomSource& rng, std::uint64_t n_chromosomes,
                                                   std::uint64_t n_genes) const {
  Chromosomes chromosomes;
  chromosomes.reserve(n_chromosomes);
  for (std::uint64_t k = 0; k < n_chromosomes; ++k) chromosomes.push_back(generate(rng, n_genes));
  return chromosomes;
}

}  // namespace genetic
