#include "hash/pawnhash.h"

#include <bit>
#include <cstring>

#include "hash/tablememory.h"
#include "core/params.h"

PawnHashEntry* PawnHashTable = nullptr;
uint64_t pawnHashCount = 65536;
uint64_t pawnHashMask = 65536 - 1;

constexpr uint64_t PawnMinEntries = 32768;  // one megabyte
alignas(64) static PawnHashEntry pawnReserve[PawnMinEntries];

uint64_t pawnHashMegabytes(uint64_t hashMegabytes) {
    const uint64_t megabytes = hashMegabytes / 8;
    return megabytes ? std::bit_floor(megabytes) : 1;
}

void sizePawnHash() {
    freePawnHash();
    uint64_t entries = pawnHashMegabytes(optionHash > 0 ? uint64_t(optionHash) : 1) * 32768;
    PawnHashTable = static_cast<PawnHashEntry*>(
        allocateTableBlock(entries, PawnMinEntries, sizeof(PawnHashEntry), 0, 64, pawnReserve));
    pawnHashCount = entries;
    pawnHashMask = entries - 1;  // the new block is zero: cleared
}

void clearPawnHash() {
    if (PawnHashTable)
        std::memset(static_cast<void*>(PawnHashTable), 0, pawnHashCount * sizeof(PawnHashEntry));
}

void freePawnHash() {
    releaseTableBlock(PawnHashTable, pawnReserve);
    PawnHashTable = nullptr;
}
