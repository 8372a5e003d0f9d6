// The static evaluation: turns a position into one number from the side to move's view.
#pragma once

#include "board/types.h"

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

// "eval": evaluates the root position with the full window, bypassing the evaluation
// hash, and prints "info string eval white <V> stm <E>".
void evalCommand(Position& root);
