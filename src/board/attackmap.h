// The attack map of a position: what each side attacks, which men give check and which
// men stand alone between a slider and the enemy king.
#pragma once

#include "board/position.h"
#include "core/types.h"

// Fills the attack, x-ray blocker and checker sets of the current record and the pinner
// squares of the blockers. Safe on any board (missing or extra kings included).
void computeAttacks(Position& pos);

// Men of side `by` that attack square s.
Bitboard attackersOf(const Position& pos, Square s, Side by);

// True when the side to move is in check (needs the attack map of the current record).
inline bool inCheck(const Position& pos) {
    return pos.sideToMove == White ? pos.state->blackCheckers != 0 : pos.state->whiteCheckers != 0;
}
