#include "hash/tt.h"

#include <bit>

#include "hash/tablememory.h"

TTEntry* HashTable = nullptr;
uint64_t hashEntryCount = 0;
uint64_t hashMask = 0;
uint8_t hashGeneration = 0;

constexpr uint64_t HashMinEntries = 65536;  // one megabyte
alignas(128) static TTEntry hashReserve[HashMinEntries];

void clearHash() {
    if (HashTable) {
        TTEntry empty{};
        empty.generation = 128;
        for (uint64_t i = 0; i < hashEntryCount; ++i) HashTable[i] = empty;
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
    clearHash();
    return entries / 65536;
}

void freeHash() {
    releaseTableBlock(HashTable, hashReserve);
    HashTable = nullptr;
}
