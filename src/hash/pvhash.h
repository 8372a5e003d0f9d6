// The PV hash: the exact results of PV nodes under their full key. The reports rebuild
// principal variations from it and take the ponder move from it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/relaxed.h"
#include "core/types.h"

// Shared by all threads without a lock, like the transposition entries.
struct PVEntry {
    Relaxed<uint64_t> key;        // full Zobrist key
    Relaxed<int32_t> score;       // exact score of the PV node
    Relaxed<uint16_t> move;       // best move, 15 bits
    Relaxed<uint8_t> depth;       // half plies
    Relaxed<uint8_t> generation;  // table generation of the write
};

static_assert(sizeof(PVEntry) == 16, "a PV entry is 16 bytes");
static_assert(offsetof(PVEntry, score) == 8 && offsetof(PVEntry, move) == 12 &&
                  offsetof(PVEntry, depth) == 14 && offsetof(PVEntry, generation) == 15,
              "PV entry layout");

// Four consecutive entries from (low half of the key) AND pvHashMask form a cluster.
extern PVEntry* PVHash;       // 64-byte aligned; null until sized
extern uint64_t pvHashCount;  // entries, a power of two
extern uint64_t pvHashMask;   // pvHashCount - 4

inline PVEntry* pvCluster(uint64_t key) { return PVHash + (uint32_t(key) & pvHashMask); }

// Depths are kept in one byte: negative depths count as 0, deeper ones as 255.
inline uint8_t depthByte(int depth) { return uint8_t(depth < 0 ? 0 : depth > 255 ? 255 : depth); }

inline int pvReplaceValue(const PVEntry& e, uint8_t generation) {
    return (uint8_t(generation - e.generation) << 8) + 255 - e.depth;
}

// Records an exact result. An entry of the same key is overwritten whatever its depth;
// otherwise the oldest, then shallowest entry of the cluster gives way.
inline void storePV(uint64_t key, Move move, int depth, int score, uint8_t generation) {
    PVEntry* cluster = pvCluster(key);
    const uint8_t d = depthByte(depth);
    for (int i = 0; i < 4; ++i) {
        PVEntry& e = cluster[i];
        if (e.key == key) {
            e.depth = d;
            e.score = score;
            e.move = move & 0x7FFF;
            e.generation = generation;
            return;
        }
    }
    PVEntry* victim = cluster;
    int best = pvReplaceValue(cluster[0], generation);
    for (int i = 1; i < 4; ++i) {
        const int value = pvReplaceValue(cluster[i], generation);
        if (value > best) {
            best = value;
            victim = cluster + i;
        }
    }
    victim->key = key;
    victim->depth = d;
    victim->score = score;
    victim->move = move & 0x7FFF;
    victim->generation = generation;
}

// The first entry of the cluster holding exactly this key, or null.
inline const PVEntry* findPVEntry(uint64_t key) {
    const PVEntry* cluster = pvCluster(key);
    for (int i = 0; i < 4; ++i)
        if (cluster[i].key == key) return cluster + i;
    return nullptr;
}

// The move stored for this key, or 0 (also 0 when the entry holds no move).
inline Move probePV(uint64_t key) {
    const PVEntry* e = findPVEntry(key);
    return e ? Move(e->move) : NoMove;
}

// Frees the old table and allocates a cleared one of `megabytes` (clamped to 1..1024,
// taken down to a power of two) times 65536 entries.
void sizePVHash(int64_t megabytes);
void clearPVHash();
void freePVHash();
