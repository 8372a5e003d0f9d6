#include "hash/tablememory.h"

#include <cstdint>
#include <cstring>

#include "platform/platform.h"

uint64_t hashMemoryOverride = 0;
uint64_t hashAllocationCeiling = 0;

uint64_t hashPhysicalMemory() { return hashMemoryOverride ? hashMemoryOverride : physicalMemoryBytes(); }

static void* tryAllocate(uint64_t bytes, uint64_t alignment) {
    if (hashAllocationCeiling && bytes > hashAllocationCeiling) return nullptr;
    if (bytes > SIZE_MAX) return nullptr;
    return allocateLarge(size_t(bytes), size_t(alignment));
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
    // The reserve may hold an earlier table's entries: it is handed out as zero, like a new block.
    std::memset(reserve, 0, size_t(minEntries * entryBytes));
    return reserve;
}

void releaseTableBlock(void* block, const void* reserve) {
    if (block != reserve) freeLarge(block);
}
