// Making and unmaking moves and null moves. make advances to the next state record and
// updates everything incrementally; unmake restores the board and steps back a record.
#pragma once

#include "board/position.h"
#include "core/types.h"

// White piece code by promotion type (4..7); Black adds 8. A bishop promoted on a dark
// square takes the dark-square code.
extern const uint8_t promotionPiece[8];

// Makes a pseudo-legal move of side Us (the side to move). The current record must not be
// the last one of the stack.
template <Side Us>
void makeMove(Position& pos, Move move);
// Takes back the move of side Us that led to the current record.
template <Side Us>
void unmakeMove(Position& pos, Move move);

// Side-generic versions for the command layer; makeMoveAny does not count a node.
void makeMoveAny(Position& pos, Move move);
void unmakeMoveAny(Position& pos, Move move);

void makeNullMove(Position& pos);
void unmakeNullMove(Position& pos);
