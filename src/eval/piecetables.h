// Fixed tables of the piece terms: file, rank and span masks, outpost squares, the x-ray
// bonuses by blocker, the king-attack multiplier and the trap tables. All are computed by
// the compiler, so nothing needs building at start-up. Tables indexed by side hold
// White's version at [White] and the colour mirror at [Black]. Everything here has internal
// linkage: no symbol of this header can meet a like-named one of another file at link time.
#pragma once

#include <array>

#include "core/types.h"

constexpr Bitboard LightSquares = 0x55AA55AA55AA55AAull;  // b1, d1, f1, h1, a2, c2, ...
constexpr Bitboard DarkSquares = ~LightSquares;

static constexpr Bitboard fileBits(int file) { return 0x0101010101010101ull << file; }
static constexpr Bitboard rankBits(int rank) { return 0xFFull << (8 * rank); }
static constexpr Bitboard squareBit(int square) { return Bitboard(1) << square; }

// Rank index of a square as seen from side s (0 = the side's own first rank).
static constexpr int relativeRank(Side s, Square sq) { return s == White ? rankOf(sq) : 7 - rankOf(sq); }
static constexpr int relativeRankIndex(Side s, int rank) { return s == White ? rank : 7 - rank; }
static constexpr Bitboard relativeRankBits(Side s, int relRank) {
    return rankBits(relativeRankIndex(s, relRank));
}

// Files next to a file.
constexpr std::array<Bitboard, 8> AdjacentFilesMask = [] {
    std::array<Bitboard, 8> t{};
    for (int f = 0; f < 8; ++f) t[f] = (f > 0 ? fileBits(f - 1) : 0) | (f < 7 ? fileBits(f + 1) : 0);
    return t;
}();

// [s][r]: every square on the ranks ahead of rank r for side s (strictly above for White,
// strictly below for Black).
constexpr std::array<std::array<Bitboard, 8>, 2> RanksAheadMask = [] {
    std::array<std::array<Bitboard, 8>, 2> t{};
    for (int r = 0; r < 8; ++r)
        for (int q = 0; q < 8; ++q) {
            if (q > r) t[White][r] |= rankBits(q);
            if (q < r) t[Black][r] |= rankBits(q);
        }
    return t;
}();

// [s][sq]: the front span, the squares ahead of sq on its file for side s. The rear span of
// a square for side s is the front span for the other side.
constexpr std::array<std::array<Bitboard, 64>, 2> FrontSpanMask = [] {
    std::array<std::array<Bitboard, 64>, 2> t{};
    for (int sq = 0; sq < 64; ++sq) {
        t[White][sq] = fileBits(fileOf(sq)) & RanksAheadMask[White][rankOf(sq)];
        t[Black][sq] = fileBits(fileOf(sq)) & RanksAheadMask[Black][rankOf(sq)];
    }
    return t;
}();

// Outpost squares for rooks, bishops and knights: b4-g6 for White, b3-g5 for Black.
constexpr std::array<Bitboard, 2> OutpostSquares = [] {
    const Bitboard bToG = ~(fileBits(0) | fileBits(7));
    std::array<Bitboard, 2> t{};
    t[White] = bToG & (rankBits(3) | rankBits(4) | rankBits(5));
    t[Black] = bToG & (rankBits(4) | rankBits(3) | rankBits(2));
    return t;
}();

// [s][king square]: the squares where a rook of side s is shut in by its own king.
constexpr std::array<std::array<Bitboard, 64>, 2> TrappedRookMask = [] {
    std::array<std::array<Bitboard, 64>, 2> t{};
    t[White][B1] = squareBit(A1) | squareBit(A2);
    t[White][C1] = squareBit(A1) | squareBit(B1) | squareBit(A2) | squareBit(B2);
    t[White][F1] = squareBit(G1) | squareBit(H1) | squareBit(G2) | squareBit(H2);
    t[White][G1] = squareBit(H1) | squareBit(H2);
    for (int k = 0; k < 64; ++k) {
        const Bitboard w = t[White][k ^ 56];
        Bitboard b = 0;
        for (int sq = 0; sq < 64; ++sq)
            if (w & squareBit(sq)) b |= squareBit(sq ^ 56);
        t[Black][k] = b;
    }
    return t;
}();

// Trap squares of a bishop: a pawn of the opponent on the first traps it, a second one on
// the second square shuts it in completely. The table is its own top-to-bottom mirror and
// serves both colours. Squares without a trap have empty masks.
struct BishopTrap {
    Bitboard first;
    Bitboard second;
};
constexpr std::array<BishopTrap, 64> BishopTraps = [] {
    std::array<BishopTrap, 64> t{};
    auto set = [&t](int s, int a, int b) { t[s] = {squareBit(a), squareBit(b)}; };
    set(B1, C2, D1);
    set(G1, F2, E1);
    set(A2, B3, C2);
    set(H2, G3, F2);
    set(A3, B4, C3);
    set(H3, G4, F3);
    set(A6, B5, C6);
    set(H6, G5, F6);
    set(A7, B6, C7);
    set(H7, G6, F7);
    set(B8, C7, D8);
    set(G8, F7, E8);
    return t;
}();

// The file next to a king on a corner file (a -> b, h -> g); empty for other files.
constexpr std::array<Bitboard, 8> CornerFileNeighbour = {fileBits(1), 0, 0, 0, 0, 0, 0, fileBits(6)};

// King danger multiplier by the number of attackers (clamped at 15).
constexpr std::array<int, 16> KingAttackMultiplier = {0,  1,  4,  9,  16, 25, 36, 49,
                                                      50, 50, 50, 50, 50, 50, 50, 50};

// X-ray bonus of a slider by the piece code of the lone man between it and the enemy king.
enum XrayKind { XrayQueenStraight, XrayQueenDiagonal, XrayRook, XrayBishop };

// [s][kind][code]: White's tables as listed, Black's the colour mirror (same values, the
// colour of the blocker exchanged).
constexpr std::array<std::array<std::array<Score, 16>, 4>, 2> XrayBonus = [] {
    std::array<std::array<std::array<Score, 16>, 4>, 2> t{};
    auto& qs = t[White][XrayQueenStraight];
    qs[WhiteKnight] = qs[WhiteKing] = qs[WhiteLightBishop] = qs[WhiteDarkBishop] = makeScore(2, 4);
    qs[BlackKnight] = qs[BlackLightBishop] = qs[BlackDarkBishop] = makeScore(2, 5);
    auto& qd = t[White][XrayQueenDiagonal];
    qd[WhitePawn] = makeScore(1, 2);
    qd[WhiteKnight] = qd[WhiteKing] = qd[WhiteRook] = makeScore(2, 4);
    qd[BlackKnight] = qd[BlackRook] = makeScore(2, 5);
    auto& r = t[White][XrayRook];
    r[WhiteKnight] = r[WhiteKing] = r[WhiteLightBishop] = r[WhiteDarkBishop] = makeScore(3, 5);
    r[BlackPawn] = r[BlackKnight] = r[BlackLightBishop] = r[BlackDarkBishop] = makeScore(2, 5);
    r[BlackQueen] = makeScore(10, 20);
    auto& b = t[White][XrayBishop];
    b[WhitePawn] = b[WhiteKnight] = b[WhiteKing] = b[WhiteRook] = makeScore(3, 5);
    b[BlackPawn] = b[BlackKnight] = makeScore(2, 5);
    b[BlackRook] = makeScore(15, 25);
    b[BlackQueen] = makeScore(10, 20);
    for (int kind = 0; kind < 4; ++kind)
        for (int code = 1; code < 16; ++code)
            if (code != 8) t[Black][kind][code] = t[White][kind][code ^ 8];
    return t;
}();
