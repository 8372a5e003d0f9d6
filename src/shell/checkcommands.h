// The commands that check the engine from outside: "perft N", "eval" and "d".
#pragma once

#include <atomic>
#include <cstdint>

struct Position;

// Prints "<move>: <count>" for every legal move of the position as its count completes,
// then an empty line and "Nodes searched: <total>". The depth is clamped to
// 1..PerftMaxDepth; a position that fails the validity checks counts 0. When *stop (if
// given) is raised, the count ends early: the moves not completed are left out and an
// "info string perft stopped, incomplete" line comes before the total of those that were.
// Returns false when it was stopped.
bool perftCommand(Position& pos, int depth, const std::atomic<uint8_t>* stop = nullptr);

// "eval": evaluates the position with the full window, bypassing the evaluation hash, and
// prints "info string eval white <V> stm <E>".
void evalCommand(Position& root);

// "d": the board as a diagram, White at the bottom, then "Fen: <FEN>" and "Key: <key>" (the
// position's 64-bit key in hexadecimal).
void displayCommand(const Position& root);
