#include "platform/memory_budget.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define SORV_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SORV_SANITIZED_HEAP 1
#endif
#endif

#ifdef SORV_SANITIZED_HEAP
// The sanitizer's allocator replaces the C library's, whose statistics then
// stay at zero; it keeps its own count.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace sorv::platform {
namespace {

constexpr uint64_t kMiB = 1ull << 20;
constexpr uint64_t kMeasureEvery = kMiB;

std::atomic<uint64_t> limitBytes{0};
std::atomic<uint64_t> unmeasured{0};

}  // namespace

uint64_t DefaultMemoryLimit() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  uint64_t physical = pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize)
                                                : 2048 * kMiB;
  return std::clamp<uint64_t>(physical / 2, 256 * kMiB, 4096 * kMiB);
}

uint64_t MemoryLimit() {
  uint64_t limit = limitBytes.load(std::memory_order_relaxed);
  if (limit == 0) {
    limit = DefaultMemoryLimit();
    limitBytes.store(limit, std::memory_order_relaxed);
  }
  return limit;
}

void SetMemoryLimit(uint64_t bytes) {
  limitBytes.store(bytes, std::memory_order_relaxed);
  unmeasured.store(0, std::memory_order_relaxed);
}

uint64_t HeapInUse() {
#ifdef SORV_SANITIZED_HEAP
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 info = mallinfo2();
  // Chunks in the arenas plus the large blocks mapped on their own.
  return static_cast<uint64_t>(info.uordblks) + static_cast<uint64_t>(info.hblkhd);
#endif
}

void ReserveMemory(uint64_t bytes) {
  if (bytes < kMeasureEvery) {
    uint64_t pending = unmeasured.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    if (pending < kMeasureEvery) return;
    unmeasured.store(0, std::memory_order_relaxed);
  }
  uint64_t limit = MemoryLimit();
  uint64_t inUse = HeapInUse();
  if (bytes > limit || inUse > limit - bytes) throw MemoryBudgetExceeded();
}

}  // namespace sorv::platform
