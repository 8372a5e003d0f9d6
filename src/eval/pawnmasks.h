// Masks of the pawn-structure and passed-pawn terms, built once with the other tables.
// Tables indexed by [side][square] are oriented for that side: "ahead" means toward the
// side's promotion rank and "behind" toward its own first rank.
#pragma once

#include "core/types.h"

// Files beside a file.
extern Bitboard AdjacentFiles[8];
// Files strictly left (toward a) and strictly right (toward h) of a file.
extern Bitboard FilesLeftOf[8];
extern Bitboard FilesRightOf[8];
// [side][relative rank]: the ranks at or ahead of a rank.
extern Bitboard RanksAtOrAhead[2][8];
// [side][square]: the squares ahead on the square's file.
extern Bitboard FrontSpan[2][64];
// [side][square]: adjacent files, on the square's rank or behind it.
extern Bitboard SupporterMask[2][64];
// [side][square]: adjacent files, on the square's rank or up to two ranks behind.
extern Bitboard ConnectedMask[2][64];
// [side][square]: the diagonal from the square forward toward the centre (up and to the
// right on files a-d, up and to the left on files e-h), the square itself excluded.
extern Bitboard ShelterDiagonal[2][64];

constexpr Bitboard DarkSquares = 0xAA55AA55AA55AA55ull;  // a1's colour

// Weight of a pawn's square in the light and dark square counts (symmetric top to bottom).
// clang-format off
constexpr uint8_t ColourWeight[64] = {
    0, 0, 0, 0, 0, 0, 0, 0,
    1, 1, 2, 2, 2, 2, 1, 1,
    1, 2, 3, 3, 3, 3, 2, 1,
    1, 2, 3, 5, 5, 3, 2, 1,
    1, 2, 3, 5, 5, 3, 2, 1,
    1, 2, 3, 3, 3, 3, 2, 1,
    1, 1, 2, 2, 2, 2, 1, 1,
    0, 0, 0, 0, 0, 0, 0, 0,
};
// clang-format on

// A bitboard seen from a side: unchanged for White, flipped top to bottom for Black, so
// that walking its set bits visits the men in the side's own order (own first rank first).
template <Side Us>
constexpr Bitboard relativeBoard(Bitboard b) {
    return Us == White ? b : __builtin_bswap64(b);
}
template <Side Us>
constexpr Square relativeSquare(Square s) {
    return Us == White ? s : s ^ 56;
}
template <Side Us>
constexpr int relativeRank(Square s) {
    return Us == White ? rankOf(s) : 7 - rankOf(s);
}
// One rank toward the side's promotion rank; men pushed off the board vanish.
template <Side Us>
constexpr Bitboard shiftAhead(Bitboard b) {
    return Us == White ? b << 8 : b >> 8;
}
// The squares that pawns of side Us on b attack.
template <Side Us>
constexpr Bitboard pawnAttackSet(Bitboard b) {
    constexpr Bitboard NotA = 0xFEFEFEFEFEFEFEFEull, NotH = 0x7F7F7F7F7F7F7F7Full;
    return Us == White ? ((b & NotA) << 7) | ((b & NotH) << 9) : ((b & NotA) >> 9) | ((b & NotH) >> 7);
}
// The files holding a man of b, one bit per file.
constexpr unsigned fileSet(Bitboard b) {
    b |= b >> 32;
    b |= b >> 16;
    b |= b >> 8;
    return unsigned(b & 0xFF);
}
