// One memory budget for everything a script can make the engine hold:
// surfaces, arrays, strings, sound buffers, archive indexes. A script that
// asks for more gets a script error at the command that asked, instead of
// the process ending with the allocation's failure.
//
// What is measured is the heap the process really holds, not a sum kept by
// the allocation sites: what one site forgets, the next check still sees.
// The budget is therefore the process's, shared by every engine in it.
#pragma once

#include <cstdint>
#include <new>

namespace sorv::platform {

// Raised when an allocation would pass the budget. A std::bad_alloc, so the
// statement loop's last-resort handler for failed allocations reports both
// the same way.
struct MemoryBudgetExceeded : std::bad_alloc {
  const char* what() const noexcept override { return "memory budget exceeded"; }
};

// Half of the machine's physical memory, at least 256 MiB and at most 4 GiB:
// twice what the 32-bit program the games were written for could address at
// all, and never so much that a runaway script drives the machine into swap.
uint64_t DefaultMemoryLimit();

// The budget in bytes (DefaultMemoryLimit() until set).
uint64_t MemoryLimit();
void SetMemoryLimit(uint64_t bytes);

// Bytes of heap the process holds now.
uint64_t HeapInUse();

// Called before an allocation of `bytes`: throws MemoryBudgetExceeded when
// the heap in use plus `bytes` would pass the budget. Small requests are
// only summed, and the heap is measured once they reach 1 MiB together, so
// the check costs nothing measurable where strings are made.
void ReserveMemory(uint64_t bytes);

}  // namespace sorv::platform
