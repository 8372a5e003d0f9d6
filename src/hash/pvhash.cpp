#include "hash/pvhash.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "hash/tablememory.h"

PVEntry* PVHash = nullptr;
uint64_t pvHashCount = 131072;
uint64_t pvHashMask = 131072 - 4;

constexpr uint64_t PVMinEntries = 65536;  // one megabyte
alignas(64) static PVEntry pvReserve[PVMinEntries];

void sizePVHash(int64_t megabytes) {
    freePVHash();
    uint64_t entries = std::bit_floor(uint64_t(std::clamp<int64_t>(megabytes, 1, 1024))) * 65536;
    PVHash =
        static_cast<PVEntry*>(allocateTableBlock(entries, PVMinEntries, sizeof(PVEntry), 0, 64, pvReserve));
    pvHashCount = entries;
    pvHashMask = entries - 4;  // the new block is zero: cleared
}

void clearPVHash() {
    if (PVHash) std::memset(static_cast<void*>(PVHash), 0, pvHashCount * sizeof(PVEntry));
}

void freePVHash() {
    releaseTableBlock(PVHash, pvReserve);
    PVHash = nullptr;
}
