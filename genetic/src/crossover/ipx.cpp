#include "crossover/ipx.hpp"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

#include "crossover/gene_marks.hpp"
#include "fault.hpp"

namespace genetic {
namespace {

[[noreturn, gnu::cold]] void fault_kept_beyond(std::size_t position, std::size_t b_length) {
  fault("index out of range: IPX keeps position " + std::to_string(position) +
        " but the second parent has only " + std::to_string(b_length) + " genes");
}

[[noreturn, gnu::cold]] void fault_no_free_position(std::size_t length) {
  fault("index out of range: IPX has more genes to place than free positions in a child of " +
        std::to_string(length) + " genes (the parents are not orderings of the same values)");
}

// Buffers reused by every crossing on this thread.
struct Scratch {
  GeneMarks marks;
  std::unique_ptr<bool[]> keep;
  std::size_t keep_capacity = 0;

  std::span<bool> keep_mask(std::size_t length) {
    if (keep_capacity < length) {
      keep = std::make_unique<bool[]>(length);
      keep_capacity = length;
    }
    return {keep.get(), length};
  }
};

Scratch& scratch() {
  thread_local Scratch instance;
  return instance;
}

// Places the donor's genes not yet in `marks`, in donor order, at the free positions.
void fill_free(Genes& child, std::span<const bool> keep, std::span<const Gene> donor, GeneMarks& marks) {
  const std::size_t length = child.size();
  std::size_t k = 0;
  for (const Gene gene : donor) {
    if (!marks.insert(gene)) continue;
    while (k < length && keep[k]) ++k;
    if (k == length) [[unlikely]] fault_no_free_position(length);
    child[k++] = gene;
  }
}

Gene max_gene(std::span<const Gene> a, std::span<const Gene> b) {
  Gene top = 0;
  for (const Gene gene : a) top = std::max(top, gene);
  for (const Gene gene : b) top = std::max(top, gene);
  return top;
}

}  // namespace

std::pair<Genes, Genes> ipx_children(std::span<const bool> keep, std::span<const Gene> a, std::span<const Gene> b) {
  const std::size_t length = a.size();
  Genes child1(length, 0);
  Genes child2(length, 0);
  for (std::size_t i = 0; i < length; ++i) {
    if (!keep[i]) continue;
    if (i >= b.size()) [[unlikely]] fault_kept_beyond(i, b.size());
    child1[i] = a[i];
    child2[i] = b[i];
  }

  GeneMarks& marks = scratch().marks;
  const Gene top = max_gene(a, b);
  const std::size_t max_entries = a.size() + b.size();

  marks.reset(top, max_entries);
  for (std::size_t i = 0; i < length; ++i) {
    if (keep[i]) marks.insert(a[i]);
  }
  fill_free(child1, keep, b, marks);

  marks.reset(top, max_entries);
  for (std::size_t i = 0; i < length; ++i) {
    if (keep[i]) marks.insert(b[i]);
  }
  fill_free(child2, keep, a, marks);

  return {std::move(child1), std::move(child2)};
}

std::pair<Genes, Genes> IpxCrossover::cross_genes(RandomSource& rng, std::span<const Gene> a,
                                                  std::span<const Gene> b) const {
  const std::span<bool> keep = scratch().keep_mask(a.size());
  for (bool& kept : keep) kept = (rng.next_u32() >> 31) == 0;
  return ipx_children(keep, a, b);
}

}  // namespace genetic
