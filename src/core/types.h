// Basic vocabulary shared by every part of the engine: sides, squares, bitboards,
// piece codes, the move word, list entries and packed evaluation scores.
#pragma once

#include <cstdint>

// The side to move is stored as one byte: 1 for White, 0 for Black.
enum Side : uint8_t { Black = 0, White = 1 };

constexpr Side opposite(Side s) { return Side(s ^ 1); }

using Bitboard = uint64_t;
using Square = int;  // 0..63, a1 = 0, h1 = 7, a8 = 56, h8 = 63

// clang-format off
enum SquareName : int {
    A1, B1, C1, D1, E1, F1, G1, H1,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A8, B8, C8, D8, E8, F8, G8, H8,
};
// clang-format on

constexpr int fileOf(Square s) { return s & 7; }
constexpr int rankOf(Square s) { return s >> 3; }
constexpr Square makeSquare(int file, int rank) { return rank * 8 + file; }

// Piece codes: one byte, used as board content, bitboard index and table index.
// Black codes are the White codes plus 8. A bishop's code follows the colour of its square.
enum PieceCode : uint8_t {
    NoPiece = 0,
    WhitePawn = 1,
    WhiteKnight = 2,
    WhiteKing = 3,
    WhiteLightBishop = 4,
    WhiteDarkBishop = 5,
    WhiteRook = 6,
    WhiteQueen = 7,
    BlackPawn = 9,
    BlackKnight = 10,
    BlackKing = 11,
    BlackLightBishop = 12,
    BlackDarkBishop = 13,
    BlackRook = 14,
    BlackQueen = 15,
};

// Indices of the occupancy bitboards inside Position::pieces.
constexpr int WhiteMen = 0;
constexpr int BlackMen = 8;
constexpr int AllMen = 16;

// Piece kinds (the White code); pieceFor gives the code of a kind for a side.
constexpr uint8_t Pawn = 1, Knight = 2, King = 3, LightBishop = 4, DarkBishop = 5, Rook = 6, Queen = 7;

constexpr uint8_t pieceFor(Side s, uint8_t kind) { return s == White ? kind : uint8_t(kind + 8); }
constexpr int menOf(Side s) { return s == White ? WhiteMen : BlackMen; }
constexpr uint8_t kindOf(uint8_t code) { return code & 7; }
constexpr bool isBlackPiece(uint8_t code) { return code & 8; }
constexpr bool isBishopKind(uint8_t code) {
    return kindOf(code) == LightBishop || kindOf(code) == DarkBishop;
}

// The move word: to-square in bits 0-5, from-square in bits 6-11, type in bits 12-14.
using Move = uint16_t;
// A move-list entry: the move in bits 0-14, a check hint in bit 15, the ordering key in bits 16-31.
using MoveEntry = uint32_t;

constexpr Move NoMove = 0;
constexpr int MoveNormal = 0;
constexpr int MoveCastling = 1;
constexpr int MoveEnPassant = 3;
constexpr int MovePromoKnight = 4;
constexpr int MovePromoBishop = 5;
constexpr int MovePromoRook = 6;
constexpr int MovePromoQueen = 7;

constexpr MoveEntry MoveMask = 0x7FFF;
constexpr MoveEntry CheckHint = 0x8000;

constexpr Move encodeMove(Square from, Square to, int type = MoveNormal) {
    return Move(to | (from << 6) | (type << 12));
}
constexpr Square moveTo(uint32_t m) { return m & 63; }
constexpr Square moveFrom(uint32_t m) { return (m >> 6) & 63; }
constexpr int moveType(uint32_t m) { return (m >> 12) & 7; }
constexpr bool isPromotion(uint32_t m) { return m & 0x4000; }
constexpr Move entryMove(MoveEntry e) { return Move(e & MoveMask); }

// Capacity of a move list, terminator included. Legal positions have at most 218
// moves; the extra room covers pseudo-legal moves of positions with many promoted men.
constexpr int MaxMoves = 384;

// A packed middlegame/endgame pair: mg * 65536 + eg in one signed 32-bit word.
using Score = int32_t;

constexpr Score makeScore(int mg, int eg) { return Score(uint32_t(mg) * 65536u + uint32_t(eg)); }
constexpr int egOf(Score s) { return int16_t(uint16_t(uint32_t(s))); }
constexpr int mgOf(Score s) { return (s >> 16) + ((s >> 15) & 1); }
// Blend by game phase: 32 is the full middlegame, 0 a bare pawn ending.
constexpr int taper(Score s, int phase) {
    const int p = phase > 32 ? 32 : phase;
    return ((32 - p) * egOf(s) + p * mgOf(s)) >> 5;
}

// The deepest ply any search line may reach from the root. Nodes at this ply return
// their static evaluation, so ply counters, the state stack and the key history never overrun.
constexpr int MaxPly = 128;
