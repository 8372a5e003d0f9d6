#include "hash/tablememory.h"

#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

constexpr uint64_t HugePageBytes = 2 * 1024 * 1024;

uint64_t hashMemoryOverride = 0;
uint64_t hashAllocationCeiling = 0;

uint64_t hashPhysicalMemory() { return hashMemoryOverride ? hashMemoryOverride : physicalMemoryBytes(); }

static void* tryAllocate(uint64_t bytes, uint64_t alignment) {
    if (hashAllocationCeiling && bytes > hashAllocationCeiling) return nullptr;
    if (bytes > SIZE_MAX) return nullptr;
    // Every size here is a power of two at least as large as the alignment, as
    // aligned_alloc requires. Large tables start on a huge-page boundary so that the
    // system can back them with huge pages.
    if (bytes >= HugePageBytes) alignment = HugePageBytes;
    void* block = std::aligned_alloc(size_t(alignment), size_t(bytes));
    if (block && bytes >= HugePageBytes) adviseHugePages(block, size_t(bytes));
    return block;
}

void* allocateTableBlock(uint64_t& entries, uint64_t minEntries, uint64_t entryBytes, uint64_t minBlockBytes,
                         uint64_t alignment, void* reserve) {
    for (;;) {
        const uint64_t bytes = entries * entryBytes;
        void* block = tryAllocate(bytes < minBlockBytes ? minBlockBytes : bytes, alignment);
        if (block) return block;
        if (minBlockBytes > bytes)
            minBlockBytes = 0;
        else if (entries > minEntries)
            entries /= 2;
        else
            break;
    }
    entries = minEntries;
    return reserve;
}

void releaseTableBlock(void* block, const void* reserve) {
    if (block != reserve) std::free(block);
}
