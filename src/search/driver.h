// The search driver: turns one "go" into one search, checks its limits and reports.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/types.h"

struct Position;

// Hands the layers below the search the routines of the search they call at run time
// (see the seams in board/position.h). Called once at start-up, before the threads start.
void connectSearch();

// Runs one search on the root position; returns after the "bestmove" line.
void runSearch(Position& root);

// A count of the "perft" command: counts the root position to the given depth and ends
// early once *stop rises.
using PerftRun = bool (*)(Position& root, int depth, const std::atomic<uint8_t>* stop);

// "perft N" on the root position: runs the count on this thread while the poll thread
// reads the input as during a search ("stop" ends the count early, "isready" is answered,
// "quit" and the end of the input end the process; other lines wait until the count is
// over). Returns after the count.
void runPerft(Position& root, int depth, PerftRun count);

// Checks the limits after an iteration of depth plies, or every millisecond on the poll
// thread (depth 0, which also prints the periodic info line and executes pending input).
void iterationDone(Position& pos, int depth);

// Prints the "info" line of every principal variation: the moves of the lines are played
// on pos from the PV and transposition tables. elapsed is in microseconds.
void reportPV(Position& pos, int64_t elapsed, int alpha, int score, int beta);

// The score as UCI text ("cp 23", "mate 3", "mate -1"); out holds at least 32 characters.
void scoreText(int score, char* out);
// " upperbound" when the score is at most alpha, " lowerbound" when at least beta, else "".
const char* boundText(int alpha, int score, int beta);

// Prints "bestmove" with the ponder move.
void printBestMove(Position& root);

// Raises the stop flags; with wait 0, also waits until the search has ended.
void haltSearch(int wait);

// The result of the running search, read by the time control and the reports.
extern std::atomic<Move> bestMove;  // also read by the poll thread
extern int bestScore;
extern int bestDepth;  // half plies
