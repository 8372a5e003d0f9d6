// The evaluation hash: one 64-bit word per position. Low word: the upper 16 bits of the
// key's low half over the stored evaluation as a signed 16-bit number; high word: the
// key's high half. A word is read and written whole, so a torn entry cannot occur.
#pragma once

#include <atomic>
#include <cstdint>

extern uint64_t* EvalHash;      // 64-byte aligned; null until sized
extern uint64_t evalHashCount;  // entries, a power of two
extern uint64_t evalHashMask;   // evalHashCount - 1

constexpr uint64_t EvalKeyBits = 0xFFFFFFFFFFFF0000ull;

inline uint64_t& evalSlot(uint64_t key) { return EvalHash[(uint32_t(key) ^ 0x12345678u) & evalHashMask]; }

inline bool probeEvalHash(uint64_t key, int& score) {
    const uint64_t entry = std::atomic_ref<uint64_t>(evalSlot(key)).load(std::memory_order_relaxed);
    if ((entry ^ key) & EvalKeyBits) return false;
    score = int16_t(uint16_t(entry));
    return true;
}

// Keeps the low 16 bits of score.
inline void storeEvalHash(uint64_t key, int score) {
    std::atomic_ref<uint64_t>(evalSlot(key))
        .store((key & EvalKeyBits) | uint16_t(score), std::memory_order_relaxed);
}

// Frees the old table and allocates a cleared one of `kilobytes` (clamped to
// 1..1048576, taken down to a power of two) times 128 entries, in a block of at least 2 MB.
void sizeEvalHash(int64_t kilobytes);
void clearEvalHash();
void freeEvalHash();
