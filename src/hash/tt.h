// The transposition table: one array shared by all search threads without locks. An
// entry keeps a lower and an upper bound of the same position side by side, each with
// its own depth; five stores, one per kind of search result, merge new results with
// what is there. Clusters of four entries fill one 64-byte cache line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/relaxed.h"
#include "core/types.h"
#include "hash/pvhash.h"

// Every thread reads and writes the entries without a lock, so each field is a relaxed
// atomic: a probe may see fields of two different writes, and checks what it uses.
struct TTEntry {
    Relaxed<uint32_t> check;      // upper half of the Zobrist key
    Relaxed<uint8_t> flags;       // TTFlag bits
    Relaxed<uint8_t> generation;  // table generation of the last write or use
    Relaxed<uint8_t> upperDepth;  // 0 = no upper bound
    Relaxed<uint8_t> lowerDepth;  // 0 = no lower bound
    Relaxed<int16_t> lowerScore;
    Relaxed<int16_t> upperScore;
    Relaxed<uint16_t> move;        // best or refutation move, 15 bits; 0 = none
    Relaxed<uint8_t> reserved[2];  // never written by the stores
};

static_assert(sizeof(TTEntry) == 16, "a transposition entry is 16 bytes");
static_assert(offsetof(TTEntry, flags) == 4 && offsetof(TTEntry, generation) == 5 &&
                  offsetof(TTEntry, upperDepth) == 6 && offsetof(TTEntry, lowerDepth) == 7 &&
                  offsetof(TTEntry, lowerScore) == 8 && offsetof(TTEntry, upperScore) == 10 &&
                  offsetof(TTEntry, move) == 12 && offsetof(TTEntry, reserved) == 14,
              "transposition entry layout");

enum TTFlag : uint8_t {
    TTLower = 0x01,     // the lower half is valid
    TTUpper = 0x02,     // the upper half is valid
    TTAllUpper = 0x04,  // upper half from a fail-low of the all-node family
    TTCutLower = 0x08,  // lower half from a fail-high of the cut-node family
    TTExact = 0x10,     // exact score of a PV node
    TTNoMoves = 0x20,   // the position has no legal move
    TTPVUpper = 0x40,   // upper half from a PV or root search
    TTPVLower = 0x80,   // lower half from a PV or root search
};

extern TTEntry* HashTable;       // 128-byte aligned; null until sized
extern uint64_t hashEntryCount;  // N, a power of two
extern uint64_t hashMask;        // N - 4
extern uint8_t hashGeneration;   // advanced once per search

inline uint32_t ttCheck(uint64_t key) { return uint32_t(key >> 32); }

// The four entries of the key's cluster; a lookup examines every one whose check matches.
inline TTEntry* ttCluster(uint64_t key) { return HashTable + (uint32_t(key) & hashMask); }

inline void prefetchTT(uint64_t key) { __builtin_prefetch(ttCluster(key)); }

// The compiler rates an atomic access as dearer than a plain one when it decides what to
// inline and which loops to unroll. The stores of every node are therefore always inlined
// and their cluster loops unrolled, which gives them the code they had with plain fields.

// Older entries go first, and among entries of the same age the shallowest.
[[gnu::always_inline]] inline int ttReplaceValue(const TTEntry& e, uint8_t generation) {
    const int upper = e.upperDepth, lower = e.lowerDepth;
    const int depth = upper > lower ? upper : lower;
    return (uint8_t(generation - e.generation) << 8) + 255 - depth;
}

// The entry of the cluster to give way; the first one wins ties.
[[gnu::always_inline]] inline TTEntry* ttVictim(TTEntry* cluster, uint8_t generation) {
    TTEntry* victim = cluster;
    int best = ttReplaceValue(cluster[0], generation);
#pragma GCC unroll 4
    for (int i = 1; i < 4; ++i) {
        const int value = ttReplaceValue(cluster[i], generation);
        if (value > best) {
            best = value;
            victim = cluster + i;
        }
    }
    return victim;
}

[[gnu::always_inline]] inline void ttWriteLower(TTEntry& e, uint32_t check, Move move, uint8_t depth,
                                                int score, uint8_t generation, uint8_t flags) {
    e.check = check;
    e.flags = flags;
    e.generation = generation;
    e.upperDepth = 0;
    e.lowerDepth = depth;
    e.lowerScore = int16_t(score);
    e.upperScore = 0;
    e.move = move & 0x7FFF;
}

[[gnu::always_inline]] inline void ttWriteUpper(TTEntry& e, uint32_t check, uint8_t depth, int score,
                                                uint8_t generation, uint8_t flags) {
    e.check = check;
    e.flags = flags;
    e.generation = generation;
    e.upperDepth = depth;
    e.lowerDepth = 0;
    e.lowerScore = 0;
    e.upperScore = int16_t(score);
    e.move = 0;
}

// Fail-high of the cut-node family. Updates a lower half of the same position that is
// empty or was itself written here, unless it is deeper.
[[gnu::always_inline]] inline void storeLower(uint64_t key, Move move, int depth, int score,
                                              uint8_t generation) {
    const uint32_t check = ttCheck(key);
    const uint8_t d = depthByte(depth);
    TTEntry* cluster = ttCluster(key);
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        TTEntry& e = cluster[i];
        if (e.check == check && (e.lowerDepth == 0 || (e.flags & TTCutLower)) && e.lowerDepth <= d) {
            e.move = move & 0x7FFF;
            e.lowerDepth = d;
            e.lowerScore = int16_t(score);
            e.generation = generation;
            e.flags |= TTLower | TTCutLower;
            return;
        }
    }
    ttWriteLower(*ttVictim(cluster, generation), check, move, d, score, generation, TTLower | TTCutLower);
}

// Fail-low of the all-node family; the mirror of storeLower on the upper half.
[[gnu::always_inline]] inline void storeUpper(uint64_t key, int depth, int score, uint8_t generation) {
    const uint32_t check = ttCheck(key);
    const uint8_t d = depthByte(depth);
    TTEntry* cluster = ttCluster(key);
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        TTEntry& e = cluster[i];
        if (e.check == check && (e.upperDepth == 0 || (e.flags & TTAllUpper)) && e.upperDepth <= d) {
            e.upperDepth = d;
            e.upperScore = int16_t(score);
            e.generation = generation;
            e.flags |= TTUpper | TTAllUpper;
            return;
        }
    }
    ttWriteUpper(*ttVictim(cluster, generation), check, d, score, generation, TTUpper | TTAllUpper);
}

// Fail-high with the caller's flag (TTPVLower at PV nodes and the root, else 0). An
// exact entry is never touched.
[[gnu::always_inline]] inline void storeLowerFlags(uint64_t key, Move move, int depth, int score,
                                                   uint8_t extra, uint8_t generation) {
    const uint32_t check = ttCheck(key);
    const uint8_t d = depthByte(depth);
    TTEntry* cluster = ttCluster(key);
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        TTEntry& e = cluster[i];
        if (e.check == check && !(e.flags & TTExact) && e.lowerDepth <= d) {
            e.move = move & 0x7FFF;
            e.lowerDepth = d;
            e.lowerScore = int16_t(score);
            e.generation = generation;
            e.flags = uint8_t((e.flags & ~(TTCutLower | TTPVLower)) | extra | TTLower);
            return;
        }
    }
    ttWriteLower(*ttVictim(cluster, generation), check, move, d, score, generation, uint8_t(extra | TTLower));
}

// Fail-low with the caller's flag (TTPVUpper at PV nodes and the root, else 0). An
// exact entry is never touched.
[[gnu::always_inline]] inline void storeUpperFlags(uint64_t key, int depth, int score, uint8_t extra,
                                                   uint8_t generation) {
    const uint32_t check = ttCheck(key);
    const uint8_t d = depthByte(depth);
    TTEntry* cluster = ttCluster(key);
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        TTEntry& e = cluster[i];
        if (e.check == check && !(e.flags & TTExact) && e.upperDepth <= d) {
            e.upperDepth = d;
            e.upperScore = int16_t(score);
            e.generation = generation;
            e.flags = uint8_t((e.flags & ~(TTAllUpper | TTPVUpper)) | extra | TTUpper);
            return;
        }
    }
    ttWriteUpper(*ttVictim(cluster, generation), check, d, score, generation, uint8_t(extra | TTUpper));
}

// Exact score of a PV node (flags TTExact, or TTExact | TTNoMoves with move 0). Also
// recorded in the PV hash. The first entry of the same position no deeper than this
// result takes it; every further such entry is emptied and aged to go next.
inline void storeExact(uint64_t key, Move move, int depth, int score, uint8_t flags, uint8_t generation) {
    storePV(key, move, depth, score, generation);
    const uint32_t check = ttCheck(key);
    const uint8_t d = depthByte(depth);
    TTEntry* cluster = ttCluster(key);
    TTEntry* target = nullptr;
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        TTEntry& e = cluster[i];
        if (e.check != check || e.lowerDepth > d || e.upperDepth > d) continue;
        if (!target) {
            target = &e;
        } else {
            e = TTEntry{};
            e.generation = uint8_t(generation ^ 128);
        }
    }
    if (!target) target = ttVictim(cluster, generation);
    target->check = check;
    target->flags = flags;
    target->generation = generation;
    target->upperDepth = d;
    target->lowerDepth = d;
    target->lowerScore = int16_t(score);
    target->upperScore = int16_t(score);
    target->move = move & 0x7FFF;
}

// Sets every entry to zero with generation 128, so that each looks old and goes
// first, and the generation counter to 0. A large table is cleared by hashClearThreads
// threads at once.
void clearHash();

// Per mille of the table written or used by the running search, estimated from its first
// thousand clusters (all of them in a smaller table).
int hashFullPermille();
// Threads that clear a large table: the number of search threads, set when they start.
extern int hashClearThreads;
// Advances the generation counter, 255 wrapping to 0; returns the new value.
uint8_t nextGeneration();
// Frees the old table and allocates a cleared one of `megabytes` (a power of two,
// 1..65536) times 65536 entries. When the memory cannot be had, a smaller power of two
// is used; returns the megabytes actually in use.
uint64_t allocateHash(uint64_t megabytes);
void freeHash();
