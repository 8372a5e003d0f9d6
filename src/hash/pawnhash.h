// The pawn hash: pawn-structure results by pawn key. The stored lock is the pawn key
// folded with the other three words of the entry, so an entry torn by two writers
// fails its key test instead of yielding mixed data.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/types.h"

struct PawnHashEntry {
    uint64_t lock;  // in a plain copy: the pawn key
    uint8_t whitePawnFiles;
    uint8_t blackPawnFiles;
    uint8_t openFiles;
    uint8_t padding;
    int32_t whiteShelter;  // shelter value in the upper 16 bits
    int32_t blackShelter;
    uint8_t whitePawnsLight;
    uint8_t whitePawnsDark;
    uint8_t blackPawnsLight;
    uint8_t blackPawnsDark;
    uint8_t whitePassedFiles;  // bit f: a passed pawn on file f
    uint8_t blackPassedFiles;
    uint8_t whiteDrawWeight;
    uint8_t blackDrawWeight;
    Score pawnScore;
};

static_assert(sizeof(PawnHashEntry) == 32, "a pawn entry is four 64-bit words");
static_assert(
    offsetof(PawnHashEntry, whitePawnFiles) == 8 && offsetof(PawnHashEntry, blackPawnFiles) == 9 &&
        offsetof(PawnHashEntry, openFiles) == 10 && offsetof(PawnHashEntry, whiteShelter) == 12 &&
        offsetof(PawnHashEntry, blackShelter) == 16 && offsetof(PawnHashEntry, whitePawnsLight) == 20 &&
        offsetof(PawnHashEntry, whitePawnsDark) == 21 && offsetof(PawnHashEntry, blackPawnsLight) == 22 &&
        offsetof(PawnHashEntry, blackPawnsDark) == 23 && offsetof(PawnHashEntry, whitePassedFiles) == 24 &&
        offsetof(PawnHashEntry, blackPassedFiles) == 25 && offsetof(PawnHashEntry, whiteDrawWeight) == 26 &&
        offsetof(PawnHashEntry, blackDrawWeight) == 27 && offsetof(PawnHashEntry, pawnScore) == 28,
    "pawn entry layout");

// Entries are reached only through storePawnEntry and readPawnEntry, which move them
// as four whole words.
extern PawnHashEntry* PawnHashTable;  // 64-byte aligned; null until sized
extern uint64_t pawnHashCount;        // entries, a power of two
extern uint64_t pawnHashMask;         // pawnHashCount - 1

inline uint64_t* pawnSlot(uint64_t pawnKey) {
    return reinterpret_cast<uint64_t*>(PawnHashTable + (uint32_t(pawnKey) & pawnHashMask));
}

inline void prefetchPawn(uint64_t pawnKey) { __builtin_prefetch(pawnSlot(pawnKey)); }

// Stores a plain entry (its lock is ignored) under pawnKey with the folded lock.
inline void storePawnEntry(const PawnHashEntry& plain, uint64_t pawnKey) {
    uint64_t word[4];
    std::memcpy(word, &plain, sizeof word);
    word[0] = pawnKey ^ word[1] ^ word[2] ^ word[3];
    uint64_t* slot = pawnSlot(pawnKey);
    for (int i = 0; i < 4; ++i) std::atomic_ref<uint64_t>(slot[i]).store(word[i], std::memory_order_relaxed);
}

// Copies the slot of pawnKey and unfolds its lock. The copy belongs to pawnKey only when
// out.lock == pawnKey; the caller makes that comparison.
inline void readPawnEntry(uint64_t pawnKey, PawnHashEntry& out) {
    uint64_t* slot = pawnSlot(pawnKey);
    uint64_t word[4];
    for (int i = 0; i < 4; ++i) word[i] = std::atomic_ref<uint64_t>(slot[i]).load(std::memory_order_relaxed);
    word[0] ^= word[1] ^ word[2] ^ word[3];
    std::memcpy(&out, word, sizeof word);
}

// Frees the old table and allocates a cleared one from the Hash option value:
// (Hash / 8) megabytes taken down to a power of two, at least 1; 32768 entries a megabyte.
void sizePawnHash();
// Pawn-table megabytes for a Hash value of `hashMegabytes`.
uint64_t pawnHashMegabytes(uint64_t hashMegabytes);
void clearPawnHash();
void freePawnHash();
