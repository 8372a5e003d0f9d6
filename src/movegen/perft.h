// Move-path enumeration: counts the leaf nodes of the legal move tree, to check the
// generators and make/unmake against known totals and to measure their speed.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "core/types.h"

// The deepest count the "perft" command takes: already far beyond what ends in a lifetime.
constexpr int PerftMaxDepth = 15;

// Leaf count of the legal move tree of the given depth (clamped to 0..PerftMaxDepth). The
// caller's position, key history included, is left as it was.
uint64_t perft(Position& pos, int depth);

// Called by perftDivide for each legal move as its count completes.
using PerftMoveCount = void (*)(Move move, uint64_t count);

struct PerftTotals {
    uint64_t nodes;  // the sum of the counts reported
    int counted;     // moves whose count was reported
    int legalMoves;  // legal moves of the position
    bool stopped;    // a stop cut the count short
};

// Counts the leaves below every legal move of the position, depth clamped to
// 1..PerftMaxDepth, and reports each move's count as it completes; a position that fails
// the validity checks counts 0. When *stop (if given) is raised, the count ends early: the
// moves not completed are not reported. The caller's position is left as it was.
PerftTotals perftDivide(Position& pos, int depth, const std::atomic<uint8_t>* stop, PerftMoveCount report);
