#pragma once
// Where gene lists live. A run keeps every population it is asked to keep, and taking
// that memory from the system one small page at a time costs more than the run's own
// work: gene lists of one size share slabs of 2 MiB, and every slab of a size after
// its first asks the system for huge pages.
#include <cstddef>
#include <limits>
#include <new>

namespace genetic {

namespace gene_memory {

// Lists longer than this many bytes go to the global allocator.
inline constexpr std::size_t kLargestPooled = std::size_t{256} << 10;

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer must see every list as an allocation of its own.
inline constexpr bool kPooled = false;
#else
inline constexpr bool kPooled = true;
#endif

// Throws std::bad_alloc when the system has no memory left.
void* allocate(std::size_t bytes);
// `bytes` must be the size `block` was allocated with.
void deallocate(void* block, std::size_t bytes) noexcept;
// Bytes of slabs mapped now, over all sizes: what the pool holds from the system.
std::size_t mapped_bytes() noexcept;

}  // namespace gene_memory

// Stateless: every list shares one pool, so moves and swaps never copy genes.
template <class T>
struct GeneAllocator {
  using value_type = T;

  GeneAllocator() = default;
  template <class U>
  constexpr GeneAllocator(const GeneAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(gene_memory::allocate(n * sizeof(T)));
  }
  void deallocate(T* block, std::size_t n) noexcept { gene_memory::deallocate(block, n * sizeof(T)); }

  friend constexpr bool operator==(GeneAllocator, GeneAllocator) noexcept { return true; }
};

}  // namespace genetic
