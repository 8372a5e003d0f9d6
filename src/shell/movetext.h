// Coordinate move text, as UCI writes moves: "e2e4", "e1g1", "e7e8q".
#pragma once

#include <cstddef>

#include "board/position.h"
#include "core/types.h"

// The legal move of the position that a coordinate move text of `length` characters
// names ("e2e4", "e7e8q"), or NoMove. The position is left as it was.
Move legalMoveFromText(Position& pos, const char* word, size_t length);
// Completes a from/to pair with the castling or en-passant type.
Move moveFromText(const Position& pos, Move partial);
// Writes the coordinate text of a move ("NULL" for no move); buffer needs 6 bytes.
char* moveToText(Move move, char* buffer);
