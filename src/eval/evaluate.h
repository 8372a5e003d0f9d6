// The static evaluation: turns a position into one number from the side to move's view.
#pragma once

#include "core/types.h"

struct Position;

// The full window: passing it disables the lazy exit.
constexpr int EvalFullLow = -2147418112;  // 0x80010000
constexpr int EvalFullHigh = 2147418112;  // 0x7FFF0000

// Evaluates the position after `move` (its low 15 bits; 0 for none) and writes the
// result and its by-products into the current state record: evalScore, positionalScore,
// lazyCount, materialFlags, evalHashClass, the king dangers, the attack maps, checkers
// and x-ray blockers. low and high bound the value from the view of the side that made
// the move; a value clearly outside them may be estimated lazily.
void evaluate(Position& pos, int low, int high, Move move);

// The material of the current position: the material-table entry, or, when promotions
// have produced men the table does not cover, the irregular-material rule with scale 128
// and flags built from the men. Clears the irregular bit of materialInfo when the men fit
// the table after all.
struct MaterialValue {
    int value;      // White's material balance
    int scale;      // scale of the whole evaluation, 128 = 1.0
    uint8_t flags;  // the material flags (see eval/material.h)
};
MaterialValue positionMaterial(Position& pos);

// Evaluates the position with the full window, bypassing the evaluation hash, and returns
// the value from the side to move's view (also left in evalScore).
int evaluateFully(Position& root);
