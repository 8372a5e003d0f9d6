// FEN parsing, the "position" command and coordinate move text.
#pragma once

#include <cstddef>

#include "board/position.h"
#include "board/types.h"

extern const char StartFen[];

// Highest state-record index a move list may reach: the search needs the records above it.
constexpr int MoveListStateLimit = StateStackSize - MaxPly - 64;
// Records kept when a long move list is folded back to the start of the stack: the current
// one and the 127 before it, more than the repetition window of the search needs.
constexpr int FoldKeep = 128;

// Fills the position from the FEN at the start of text and returns the place after the
// last field it consumed. Any text is accepted; what cannot be parsed is skipped.
const char* parseFen(Position& pos, const char* text);
// The arguments of "position": "startpos" or "fen <FEN>", optionally followed by "moves ...".
void positionCommand(Position& pos, const char* text);
// Makes the legal moves of a whitespace-separated list of move texts; words that match no
// legal move are skipped.
void applyMoveList(Position& pos, const char* text);
// The legal move of the position that a coordinate move text of `length` characters
// names ("e2e4", "e7e8q"), or NoMove. The position is left as it was.
Move legalMoveFromText(Position& pos, const char* word, size_t length);
// Completes a from/to pair with the castling or en-passant type.
Move moveFromText(const Position& pos, Move partial);
// Writes the coordinate text of a move ("NULL" for no move); buffer needs 6 bytes.
char* moveToText(Move move, char* buffer);
