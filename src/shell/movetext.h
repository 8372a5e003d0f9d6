// Coordinate move text, as UCI writes moves: "e2e4", "e1g1" (or "e1h1" for Chess960), "e7e8q".
#pragma once

#include <cstddef>

#include "board/position.h"
#include "core/types.h"

// The legal move of the position that a coordinate move text of `length` characters
// names ("e2e4", "e7e8q"), or NoMove. The position is left as it was.
Move legalMoveFromText(Position& pos, const char* word, size_t length);
// Completes a from/to pair with the castling or en-passant type. Castling is the king's move
// two files over, or with the UCI_Chess960 option the king's move onto its castling rook
// (without the option too, where the king of a Chess960 set-up does not move two files).
Move moveFromText(const Position& pos, Move partial);
// Writes the coordinate text of a move ("NULL" for no move); buffer needs 6 bytes. Castling
// is the king's move to its destination ("e1g1").
char* moveToText(Move move, char* buffer);
// The same in the notation of the UCI_Chess960 option: with it on, castling is the king's
// move onto its rook ("e1h1"), whose square the position's castling rules give. Without it,
// so is castling in a Chess960 set-up where the king does not move two files.
char* moveToText(Move move, char* buffer, const Position& pos);
