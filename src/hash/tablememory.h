// Memory blocks for the hash tables. A request that cannot be met is met with a
// smaller power-of-two block, down to a floor, and below that with a built-in reserve,
// so a table pointer is never left null after its sizing.
#pragma once

#include <cstdint>

// Test seams, 0 in normal running.
// When non-zero, replaces the machine's physical memory size in the hash budget.
extern uint64_t hashMemoryOverride;
// When non-zero, every table block larger than this many bytes is refused, as if the
// allocation had failed.
extern uint64_t hashAllocationCeiling;

// Physical memory the hash budget is drawn from (0 = unknown).
uint64_t hashPhysicalMemory();

// Allocates a block for `entries` entries of `entryBytes` bytes each (at least
// `minBlockBytes`), aligned to `alignment`. When that fails the minimum block size is
// dropped first, then the entry count is halved down to `minEntries`; when even that
// fails, `reserve` (room for `minEntries` entries) is used. `entries` returns the count
// actually provided. Every byte of the block is zero. Never returns null.
void* allocateTableBlock(uint64_t& entries, uint64_t minEntries, uint64_t entryBytes, uint64_t minBlockBytes,
                         uint64_t alignment, void* reserve);

// Releases a block of allocateTableBlock (the reserve is kept; null is ignored).
void releaseTableBlock(void* block, const void* reserve);
