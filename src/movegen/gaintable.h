// Learned positional gains of quiet moves, by piece code and from * 64 + to. The
// evaluation updates it; the gain-move generator reads it. All search threads use it
// without a lock.
#pragma once

#include <cstdint>

#include "core/relaxed.h"

extern Relaxed<int16_t> PositionalGainTable[16][4096];

// Sets every gain to zero (start of a new game).
void clearPositionalGains();
