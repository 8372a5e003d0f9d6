// Attack map with checkers and lone blockers, the pseudo-legality test for moves taken
// from the hash table or the killer slots, and the mate test.
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

// Whether a move word (from the hash table or a killer slot) is a pseudo-legal move of the
// side to move Us in the current position. Pins and checks of the own king are not examined.
template <Side Us>
bool isPseudoLegal(const Position& pos, Move move);

// For a side to move in check: 0 when a legal evasion exists, otherwise the mated score.
int mateTest(Position& pos);
