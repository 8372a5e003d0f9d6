#include "hash/tt.h"

#include <bit>
#include <cstring>

#include "hash/tablememory.h"
#include "platform/platform.h"

TTEntry* HashTable = nullptr;
uint64_t hashEntryCount = 0;
uint64_t hashMask = 0;
uint8_t hashGeneration = 0;

constexpr uint64_t HashMinEntries = 65536;  // one megabyte
alignas(128) static TTEntry hashReserve[HashMinEntries];

int hashClearThreads = 1;

namespace {

// Below this size one thread clears the table faster than several can be started.
constexpr uint64_t ParallelClearBytes = uint64_t(64) << 20;

int clearParts = 1;

// Empties part `part` of clearParts equal parts of the table. A cleared entry looks 128
// or more searches old, so it is the first to be replaced.
void clearHashPart(int part) {
    TTEntry empty{};
    empty.generation = 128;
    const uint64_t begin = hashEntryCount / uint64_t(clearParts) * uint64_t(part);
    const uint64_t end =
        part == clearParts - 1 ? hashEntryCount : hashEntryCount / uint64_t(clearParts) * uint64_t(part + 1);
    // No search runs now: whole entries are copied, not field by field.
    for (uint64_t i = begin; i < end; ++i)
        std::memcpy(static_cast<void*>(HashTable + i), &empty, sizeof empty);
}

}  // namespace

void clearHash() {
    if (HashTable) {
        const bool large = hashEntryCount * sizeof(TTEntry) >= ParallelClearBytes;
        clearParts = large && hashClearThreads > 1 ? hashClearThreads : 1;
        runInParallel(clearHashPart, clearParts);
    }
    hashGeneration = 0;
}

uint8_t nextGeneration() { return ++hashGeneration; }

uint64_t allocateHash(uint64_t megabytes) {
    freeHash();
    if (megabytes < 1) megabytes = 1;
    if (megabytes > 65536) megabytes = 65536;
    megabytes = std::bit_floor(megabytes);
    uint64_t entries = megabytes * 65536;
    HashTable = static_cast<TTEntry*>(
        allocateTableBlock(entries, HashMinEntries, sizeof(TTEntry), 0, 128, hashReserve));
    hashEntryCount = entries;
    hashMask = entries - 4;
    // The new block is zero. Ages are counted from the generation counter modulo 256, so
    // zero entries with the counter at 128 are exactly a cleared table (entries at 128,
    // counter at 0), and the gigabytes need not be written.
    hashGeneration = 128;
    return entries / 65536;
}

void freeHash() {
    releaseTableBlock(HashTable, hashReserve);
    HashTable = nullptr;
}

int hashFullPermille() {
    if (!HashTable || hashEntryCount < 4) return 0;
    const uint64_t entries = hashEntryCount < 4000 ? hashEntryCount : 4000;
    uint64_t used = 0;
    for (uint64_t i = 0; i < entries; ++i) {
        const TTEntry& e = HashTable[i];
        if (e.generation == hashGeneration && (e.upperDepth || e.lowerDepth || e.flags)) ++used;
    }
    return int(used * 1000 / entries);
}
