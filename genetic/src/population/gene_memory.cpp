#include "population/gene_memory.hpp"

#include <sys/mman.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <mutex>

#include "fork_hooks.hpp"

namespace genetic::gene_memory {
namespace {

constexpr std::size_t kSlabBytes = std::size_t{2} << 20;  // one huge page
constexpr std::size_t kHeaderBytes = 64;
constexpr std::size_t kWholeSlabBlock = std::size_t{32} << 10;
// Sizes up to 1 KiB in steps of 16 bytes; then sixteen sizes per doubling up to
// kLargestPooled, so a list longer than 1 KiB wastes less than 1/16 of its block.
constexpr std::size_t kFineLimit = 1024;
constexpr std::size_t kStepsPerDoubling = 16;
constexpr std::size_t kSizeCount =
    kFineLimit / 16 + kStepsPerDoubling * static_cast<std::size_t>(std::countr_zero(kLargestPooled / kFineLimit));

struct Size {
  std::size_t index;
  std::size_t block;
};

constexpr Size size_for(std::size_t bytes) noexcept {
  if (bytes <= kFineLimit) {
    const std::size_t block = bytes <= 16 ? 16 : (bytes + 15) & ~std::size_t{15};
    return {block / 16 - 1, block};
  }
  const int power = std::bit_width(bytes - 1) - 1;  // 2^power < bytes <= 2^(power + 1)
  const std::size_t base = std::size_t{1} << power;
  const std::size_t step = base / kStepsPerDoubling;
  const std::size_t block = (bytes + step - 1) / step * step;
  const auto doubling = static_cast<std::size_t>(power - std::countr_zero(kFineLimit));
  return {kFineLimit / 16 + doubling * kStepsPerDoubling + (block - base) / step - 1, block};
}
static_assert(size_for(1).block == 16 && size_for(1024).index == 63);
static_assert(size_for(1025).index == 64 && size_for(1025).block == 1088);
static_assert(size_for(kLargestPooled).index == kSizeCount - 1 && size_for(kLargestPooled).block == kLargestPooled);

struct FreeBlock {
  FreeBlock* next;
};

// The head of a slab; blocks follow it. Slabs are aligned to their size, so a block
// finds its slab by masking its address.
struct Slab {
  Slab* prev = nullptr;  // in the list of slabs with room
  Slab* next = nullptr;
  FreeBlock* free = nullptr;
  char* bump = nullptr;  // the first block never handed out
  std::size_t live = 0;
  bool listed = false;

  char* first_block() noexcept { return reinterpret_cast<char*>(this) + kHeaderBytes; }
  char* end() noexcept { return reinterpret_cast<char*>(this) + kSlabBytes; }
};
static_assert(sizeof(Slab) <= kHeaderBytes);

// The slabs of one block size. One empty slab is kept back, so a run that frees and
// allocates around a slab boundary every generation does not map and unmap each time.
struct SizePool {
  std::mutex lock;
  Slab* with_room = nullptr;
  Slab* spare = nullptr;
  std::size_t slabs = 0;  // mapped, the spare included

  void link(Slab* slab) noexcept {
    slab->prev = nullptr;
    slab->next = with_room;
    if (with_room != nullptr) with_room->prev = slab;
    with_room = slab;
    slab->listed = true;
  }
  void unlink(Slab* slab) noexcept {
    if (slab->prev != nullptr)
      slab->prev->next = slab->next;
    else
      with_room = slab->next;
    if (slab->next != nullptr) slab->next->prev = slab->prev;
    slab->listed = false;
  }
};

constinit SizePool pools[kSizeCount];
constinit std::atomic<std::size_t> mapped{0};

// A fork while another thread holds a pool's lock would leave the lock held for good in
// the child: every lock is taken around the fork, so the child starts with all free.
void lock_all() noexcept {
  for (SizePool& pool : pools) pool.lock.lock();
}
void unlock_all() noexcept {
  for (SizePool& pool : pools) pool.lock.unlock();
}
[[maybe_unused]] const bool fork_handlers = at_fork(&lock_all, &unlock_all, &unlock_all);

Slab* map_slab(bool huge) {
  // Twice the size, then trimmed to an aligned slab.
  void* raw = mmap(nullptr, 2 * kSlabBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kSlabBytes - 1) & ~(kSlabBytes - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const std::uintptr_t tail = aligned + kSlabBytes;
  if (start + 2 * kSlabBytes > tail) munmap(reinterpret_cast<void*>(tail), start + 2 * kSlabBytes - tail);
#ifdef MADV_HUGEPAGE
  // Only advice: without huge pages the slab still works with small ones.
  if (huge) madvise(reinterpret_cast<void*>(aligned), kSlabBytes, MADV_HUGEPAGE);
#endif
  mapped.fetch_add(kSlabBytes, std::memory_order_relaxed);
  Slab* slab = new (reinterpret_cast<void*>(aligned)) Slab;
  slab->bump = slab->first_block();
  return slab;
}

Slab* slab_of(void* block) noexcept {
  return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) & ~(kSlabBytes - 1));
}

}  // namespace

void* allocate(std::size_t bytes) {
  if (!kPooled || bytes > kLargestPooled) return ::operator new(bytes);
  const Size size = size_for(bytes);
  SizePool& pool = pools[size.index];
  const std::lock_guard guard(pool.lock);
  Slab* slab = pool.with_room;
  if (slab == nullptr) {
    if (pool.spare != nullptr) {
      slab = pool.spare;
      pool.spare = nullptr;
    } else {
      // The first slab of a small size stays on small pages: a size used for a few
      // lists then costs only the pages they touch. Blocks of 32 KiB and more fill a
      // slab in a few dozen lists (a packed population each, in a long run).
      slab = map_slab(pool.slabs > 0 || size.block >= kWholeSlabBlock);
      ++pool.slabs;
    }
    pool.link(slab);
  }
  void* block;
  if (slab->free != nullptr) {
    block = slab->free;
    slab->free = slab->free->next;
  } else {
    block = slab->bump;
    slab->bump += size.block;
  }
  ++slab->live;
  if (slab->free == nullptr && static_cast<std::size_t>(slab->end() - slab->bump) < size.block) pool.unlink(slab);
  return block;
}

void deallocate(void* block, std::size_t bytes) noexcept {
  if (!kPooled || bytes > kLargestPooled) {
    ::operator delete(block, bytes);
    return;
  }
  SizePool& pool = pools[size_for(bytes).index];
  Slab* slab = slab_of(block);
  const std::lock_guard guard(pool.lock);
  if (--slab->live == 0) {
    if (slab->listed) pool.unlink(slab);
    if (pool.spare == nullptr) {
      slab->free = nullptr;
      slab->bump = slab->first_block();
      pool.spare = slab;
    } else {
      munmap(slab, kSlabBytes);
      mapped.fetch_sub(kSlabBytes, std::memory_order_relaxed);
      --pool.slabs;
    }
    return;
  }
  auto* freed = static_cast<FreeBlock*>(block);
  freed->next = slab->free;
  slab->free = freed;
  if (!slab->listed) pool.link(slab);
}

std::size_t mapped_bytes() noexcept { return mapped.load(std::memory_order_relaxed); }

}  // namespace genetic::gene_memory
