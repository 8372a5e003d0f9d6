// Static exchange test.
#pragma once

#include "board/position.h"
#include "core/types.h"

// True when the move of side Us (the side to move) does not lose more than the margin by
// static exchange on its to-square. Meant for movers worth more than the victim and for
// quiet moves; needs the attack map of the current record.
template <Side Us>
bool seeOk(const Position& pos, Move move);
