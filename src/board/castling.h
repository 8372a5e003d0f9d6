// Where castling starts and what it needs. In standard chess the kings start on e1 and e8
// and the rooks in the corners; in Chess960 any arrangement of the back rank. Either way the
// king ends on the g- or c-file and its rook beside it on the f- or d-file.
#pragma once

#include <cstdint>

#include "core/types.h"

// The castling rights, as the state record keeps them.
constexpr uint8_t WhiteShort = 1, WhiteLong = 2, BlackShort = 4, BlackLong = 8;

// Fixed for a game. Indexed by right: 0 White short, 1 White long, 2 Black short, 3 Black long.
struct CastlingRules {
    uint8_t mask[64];      // the rights that survive a move from or to the square
    uint8_t king[2];       // the king's square, by side, while it may castle
    uint8_t rook[4];       // the rook's square
    Bitboard path[4];      // the squares that must be empty: all the king and the rook cross or
                           // reach, but for those two men themselves
    Bitboard kingPath[4];  // the squares the king crosses or reaches, its own aside: none of them
                           // may be attacked
};

// The index of a right of the side: the short right first.
constexpr int castlingIndex(Side s, bool shortSide) { return (s == White ? 0 : 2) + (shortSide ? 0 : 1); }
constexpr uint8_t castlingRight(int index) { return uint8_t(1 << index); }
constexpr bool isShortCastling(int index) { return (index & 1) == 0; }
constexpr Side castlingSide(int index) { return index < 2 ? White : Black; }
// Where the king and the rook of the right end.
constexpr Square castlingKingTo(int index) { return (index < 2 ? 0 : 56) + (isShortCastling(index) ? 6 : 2); }
constexpr Square castlingRookTo(int index) { return (index < 2 ? 0 : 56) + (isShortCastling(index) ? 5 : 3); }
// The right a castling move of the side uses, from the king's destination.
constexpr int castlingIndexOfMove(Side s, Square kingTo) { return castlingIndex(s, (kingTo & 7) == 6); }

// Fills the rules from the kings' squares and the rooks' squares by right.
void setCastlingRules(CastlingRules& rules, Square whiteKing, Square blackKing, const Square rooks[4]);
// The rules of standard chess: kings on e1 and e8, rooks in the corners.
void setStandardCastling(CastlingRules& rules);
