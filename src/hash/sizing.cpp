#include "hash/sizing.h"

#include <bit>

#include "core/params.h"
#include "hash/evalhash.h"
#include "hash/pawnhash.h"
#include "hash/pvhash.h"
#include "hash/tablememory.h"
#include "hash/tt.h"

constexpr uint64_t Megabyte = 1048576;

bool hashTablesFresh = false;

static uint64_t pvHashMegabytes() { return pvHashCount * sizeof(PVEntry) / Megabyte; }
static uint64_t evalHashKilobytes() { return evalHashCount * 8 / 1024; }

uint64_t hashMegabytesThatFit(uint64_t megabytes, uint64_t physicalBytes) {
    megabytes = std::bit_floor(megabytes < 1 ? 1 : megabytes > 65536 ? 65536 : megabytes);
    if (physicalBytes == 0) return megabytes;
    const uint64_t budget = physicalBytes / 2;
    const uint64_t pvBytes = (pvHashMegabytes() ? pvHashMegabytes() : 1) * Megabyte;
    const uint64_t evalBytes = evalHashCount * 8 > 2 * Megabyte ? evalHashCount * 8 : 2 * Megabyte;
    while (megabytes > 1 &&
           (megabytes + pawnHashMegabytes(megabytes)) * Megabyte + pvBytes + evalBytes > budget)
        megabytes /= 2;
    return megabytes;
}

bool resizeHashTables() {
    hashGeneration = 0;
    const uint64_t requested = std::bit_floor(uint64_t(optionHash < 1       ? 1
                                                       : optionHash > 65536 ? 65536
                                                                            : optionHash));
    const uint64_t megabytes = allocateHash(hashMegabytesThatFit(requested, hashPhysicalMemory()));
    optionHash = int32_t(megabytes);
    sizePawnHash();
    sizePVHash(int64_t(pvHashMegabytes()));
    sizeEvalHash(int64_t(evalHashKilobytes()));
    hashTablesFresh = true;
    return megabytes < requested;
}
