// Bitboards and the geometric tables built once at start-up: single squares, king and
// knight steps, pawn captures, empty-board slider rays, line types, the check-evasion
// tables, passed-pawn spans and the magic lookup of sliding attacks.
#pragma once

#include <bit>
#include <cstdint>

#include "core/types.h"

constexpr Bitboard NotFileA = 0xFEFEFEFEFEFEFEFEull;  // keep before a shift that moves a file left
constexpr Bitboard NotFileH = 0x7F7F7F7F7F7F7F7Full;  // keep before a shift that moves a file right

extern Bitboard SquareBB[64];
extern Bitboard SquareClear[64];
extern const Bitboard FileMask[8];
extern const Bitboard RankMask[8];
extern Bitboard KnightAttacks[64];
extern Bitboard KingAttacks[64];
// [White][s]: squares a White pawn on s attacks; [Black][s] those of a Black pawn. Read the
// other way round, PawnAttacks[Black][s] holds the squares from which a White pawn attacks s.
extern Bitboard PawnAttacks[2][64];
extern Bitboard BishopRays[64];
extern Bitboard RookRays[64];
extern Bitboard QueenRays[64];
extern Bitboard BishopRaysClear[64];
extern Bitboard RookRaysClear[64];

// Line of two squares: same rank, same file, a1-h8 diagonal, a8-h1 diagonal, or none.
constexpr uint8_t LineAntiDiagonal = 0;
constexpr uint8_t LineDiagonal = 1;
constexpr uint8_t LineRank = 2;
constexpr uint8_t LineFile = 3;
constexpr uint8_t LineNone = 37;
extern uint8_t LineType[64][64];

// [k][s]: flight squares of a king on k checked by a man on s (the squares behind the king
// and toward the checker are dropped, the checker's own square kept).
extern Bitboard KingEvasion[64][64];
// [k][s]: the checker's square s and every square strictly between it and the king on k.
extern Bitboard BlockOrCapture[64][64];
extern Bitboard PassedPawnSpan[2][64];

// One square of the slider lookup: index = ((occupied & mask) * magic) >> shift.
struct MagicEntry {
    Bitboard mask;
    Bitboard magic;
    const Bitboard* attacks;
    unsigned shift;
};

constexpr int BishopTableSize = 5248;
constexpr int RookTableSize = 102400;

extern MagicEntry BishopMagics[64];
extern MagicEntry RookMagics[64];
extern Bitboard BishopAttackTable[BishopTableSize];
extern Bitboard RookAttackTable[RookTableSize];
extern const uint8_t BishopIndexBits[64];
extern const uint8_t RookIndexBits[64];
extern const Bitboard BishopMultipliers[64];
extern const Bitboard RookMultipliers[64];

inline Bitboard bishopAttacks(Square s, Bitboard occupied) {
    const MagicEntry& m = BishopMagics[s];
    return m.attacks[((occupied & m.mask) * m.magic) >> m.shift];
}
inline Bitboard rookAttacks(Square s, Bitboard occupied) {
    const MagicEntry& m = RookMagics[s];
    return m.attacks[((occupied & m.mask) * m.magic) >> m.shift];
}
inline Bitboard queenAttacks(Square s, Bitboard occupied) {
    return bishopAttacks(s, occupied) | rookAttacks(s, occupied);
}

// Index of the least significant set bit; b must not be empty.
inline Square lowestSquare(Bitboard b) { return std::countr_zero(b); }

// Population count. initPopCount picks the processor's instruction when it has one,
// otherwise the shift-and-add routine; both give the same counts.
extern uint8_t popCountHardware;
inline int popCountSoftware(Bitboard x) {
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int((x * 0x0101010101010101ull) >> 56);
}
inline int popCountInstruction(Bitboard x) { return std::popcount(x); }
inline int popCount(Bitboard b) { return popCountHardware ? popCountInstruction(b) : popCountSoftware(b); }
void initPopCount();

// Dark squares are those of a1's colour.
inline bool isDarkSquare(Square s) {
    const Bitboard b = Bitboard(1) << s;
    return ((uint32_t(b) | uint32_t(b >> 32)) & 0xAA55AA55u) != 0;
}

// Start-up builders: initGeometry fills every table but the magic ones and then the
// Zobrist keys; initMagics follows it with the slider lookup.
void initGeometry();
void initMagics();
