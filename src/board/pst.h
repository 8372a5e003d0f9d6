// Piece-square table: a positional (mg, eg) pair per piece code and square.
// Make and unmake keep its sum over all men in StateRecord::psqScore.
#pragma once

#include "core/types.h"

extern Score PST[16][64];

// Fills the table; Black's values are White's, negated and mirrored top to bottom.
void initPST();
