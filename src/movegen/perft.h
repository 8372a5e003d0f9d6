// Move-path enumeration: counts the leaf nodes of the legal move tree, to check the
// generators and make/unmake against known totals and to measure their speed.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"

// The deepest count the "perft" command takes: already far beyond what ends in a lifetime.
constexpr int PerftMaxDepth = 15;

// Leaf count of the legal move tree of the given depth (clamped to 0..PerftMaxDepth). The
// caller's position, key history included, is left as it was.
uint64_t perft(Position& pos, int depth);

// Prints "<move>: <count>" for every legal move of the position as its count completes,
// then an empty line and "Nodes searched: <total>". The depth is clamped to
// 1..PerftMaxDepth; a position that fails the validity checks counts 0. When *stop (if
// given) is raised, the count ends early: the moves not completed are left out and an
// "info string perft stopped, incomplete" line comes before the total of those that were.
// Returns false when it was stopped.
bool perftCommand(Position& pos, int depth, const std::atomic<uint8_t>* stop = nullptr);
