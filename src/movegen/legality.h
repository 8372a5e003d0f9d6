// The pseudo-legality test for moves taken from the hash table or the killer slots, and
// the mate test.
#pragma once

#include "board/position.h"
#include "core/types.h"

// Whether a move word (from the hash table or a killer slot) is a pseudo-legal move of the
// side to move Us in the current position. Pins and checks of the own king are not examined.
template <Side Us>
bool isPseudoLegal(const Position& pos, Move move);

// For a side to move in check: 0 when a legal evasion exists, otherwise the mated score.
int mateTest(Position& pos);
