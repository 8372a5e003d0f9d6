// The "position" command: a FEN or the start position, and the moves played from it.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "core/types.h"

// Highest state-record index a move list may reach: the search needs the records above it.
constexpr int MoveListStateLimit = StateStackSize - MaxPly - 64;
// Records kept when a long move list is folded back to the start of the stack: the current
// one and the 127 before it, more than the repetition window of the search needs.
constexpr int FoldKeep = 128;

// The arguments of "position": "startpos" or "fen <FEN>", optionally followed by "moves ...".
// Returns the castling rights of the FEN that were dropped for want of their king or rook.
uint8_t positionCommand(Position& pos, const char* text);
// Makes the legal moves of a whitespace-separated list of move texts; words that match no
// legal move are skipped.
void applyMoveList(Position& pos, const char* text);
