// Move-path enumeration: counts the leaf nodes of the legal move tree, to check the
// generators and make/unmake against known totals and to measure their speed.
#pragma once

#include <cstdint>

#include "board/position.h"

constexpr int PerftMaxDepth = 30;

// Leaf count of the legal move tree of the given depth (clamped to 0..PerftMaxDepth). The
// caller's position, key history included, is left as it was.
uint64_t perft(Position& pos, int depth);

// Prints "<move>: <count>" for every legal move of the position, then an empty line and
// "Nodes searched: <total>". The depth is clamped to 1..PerftMaxDepth; a position that
// fails the validity checks counts 0.
void perftCommand(Position& pos, int depth);
