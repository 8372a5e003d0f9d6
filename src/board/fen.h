// FEN parsing, the "position" command and coordinate move text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/position.h"
#include "core/types.h"

extern const char StartFen[];

// Highest state-record index a move list may reach: the search needs the records above it.
constexpr int MoveListStateLimit = StateStackSize - MaxPly - 64;
// Records kept when a long move list is folded back to the start of the stack: the current
// one and the 127 before it, more than the repetition window of the search needs.
constexpr int FoldKeep = 128;

// Fills the position from the FEN at the start of text and returns the place after the
// last field it consumed. Any text is read without fault: a placement that is not eight
// ranks of eight squares, or a side to move other than "w" or "b", leaves a position that
// fails the validity checks. Missing fields take their defaults (White to move). Castling
// rights without their king and rook on their squares are dropped, and put in
// *ignoredCastling when given.
const char* parseFen(Position& pos, const char* text, uint8_t* ignoredCastling = nullptr);
// The arguments of "position": "startpos" or "fen <FEN>", optionally followed by "moves ...".
// Returns the castling rights of the FEN that were dropped for want of their king or rook.
uint8_t positionCommand(Position& pos, const char* text);
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
