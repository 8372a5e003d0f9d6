// FEN: a position from its text description.
#pragma once

#include <cstdint>

#include "board/position.h"

extern const char StartFen[];

// Room for the castling letters of a FEN that gave no right, with the closing 0.
constexpr int IgnoredCastlingSize = 17;

// Fills the position from the FEN at the start of text and returns the place after the
// last field it consumed. Any text is read without fault: a placement that is not eight
// ranks of eight squares, or a side to move other than "w" or "b", leaves a position that
// fails the validity checks. Missing fields take their defaults (White to move).
//
// The castling field is one of the strings of "KQkq", or for Chess960 any letters of
// Shredder-FEN and X-FEN: a file letter names the castling rook, K and Q (k and q) the
// outermost rook on the king's side. Rights without their king and rook on the squares they
// need are dropped; when ignoredCastling is given (IgnoredCastlingSize characters), it gets
// their letters as a string.
const char* parseFen(Position& pos, const char* text, char* ignoredCastling = nullptr, bool chess960 = false);

// The FEN letter of a board code ('?' for a code no man has).
char pieceLetter(uint8_t code);

// Room for the longest FEN writeFen writes, with the closing 0.
constexpr int FenSize = 96;

// Writes the position's FEN. The castling field is "KQkq" where the kings and the castling
// rooks stand on the squares of standard chess, and the rooks' file letters (Shredder-FEN)
// otherwise; the move counters are the fifty-move count and the position's move number.
void writeFen(const Position& pos, char* out);
