#include "hash/evalhash.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "hash/tablememory.h"

uint64_t* EvalHash = nullptr;
uint64_t evalHashCount = 32768;
uint64_t evalHashMask = 32768 - 1;

constexpr uint64_t EvalMinEntries = 128;  // one kilobyte
constexpr uint64_t EvalMinBlock = 2097152;
alignas(64) static uint64_t evalReserve[EvalMinEntries];

void sizeEvalHash(int64_t kilobytes) {
    freeEvalHash();
    uint64_t entries = std::bit_floor(uint64_t(std::clamp<int64_t>(kilobytes, 1, 1048576))) * 128;
    EvalHash = static_cast<uint64_t*>(
        allocateTableBlock(entries, EvalMinEntries, sizeof(uint64_t), EvalMinBlock, 64, evalReserve));
    evalHashCount = entries;
    evalHashMask = entries - 1;  // the new block is zero: cleared
}

void clearEvalHash() {
    if (EvalHash) std::memset(EvalHash, 0, evalHashCount * sizeof(uint64_t));
}

void freeEvalHash() {
    releaseTableBlock(EvalHash, evalReserve);
    EvalHash = nullptr;
}
