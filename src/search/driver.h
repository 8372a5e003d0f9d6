// The search driver: turns one "go" into one search, checks its limits and reports.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/types.h"

struct Position;

// The result of the running search, read by the time control and the reports.
extern std::atomic<Move> bestMove;  // also read by the poll thread
extern int bestScore;
extern int bestDepth;  // half plies

// The longest principal variation reported, in moves.
constexpr int MaxPVMoves = 250;

// One principal variation as the search reports it.
struct PVReport {
    int line;         // 1 for the best line, 2 for the next, ...
    int64_t ms;       // elapsed time of the search
    uint64_t nodes;   // nodes of all threads
    int score;        // side to move's view; a mate score counts plies as the search does
    int alpha, beta;  // the window the score was found in: it may be a bound
    int depth;        // plies
    int selDepth;     // the deepest ply the iteration reached, at least depth
    int hashfull;     // per mille of the transposition table written by this search
    const Move* moves;
    int length;
    const Position* position;  // the position searched, for the notation of its moves
};

// What the search tells its user, as facts; the shell turns them into UCI text. Until the
// shell sets them at start-up, nothing is reported.
struct SearchReports {
    void (*line)(const PVReport& report);
    void (*noMove)(bool mated);  // the root has no legal move: mated or stalemate
    // The move to play on the root position, and the reply to ponder on; NoMove for none.
    void (*bestMove)(const Position& root, Move best, Move ponder);
    void (*progress)(int64_t ms, uint64_t nodes);  // the periodic line of a long search
    // A long search begins the number-th root move of the iteration of depth plies.
    void (*rootMove)(const Position& root, int depth, Move move, int number);
};
extern SearchReports searchReports;

// Reads one command line and carries it out: the shell's command reader, which it sets at
// start-up. The driver calls it while a finished infinite or ponder search waits for
// "stop" or "ponderhit", and on the poll thread while input is waiting during a search.
extern void (*readCommandLine)(Position& root);

// Hands the layers below the search the routines of the search they call at run time: the
// node-limit stop, the worker threads' loop and the poll thread's check. Called at
// start-up, before the threads start.
void connectSearch();

// Resets the position to the initial chess position and clears the game's tables and what
// one search hands to the next.
void newGame(Position& pos);

// Clears the game's tables and what one search hands to the next, as a new game does, and
// keeps the position: the next search searches as in a fresh process.
void clearSearchMemory();

// Sets the root up as a search starts it: the key history of the game for repetitions
// (without a clock only positions already repeated count), the current record as the
// second one of a cleared stack at ply 0, and a new table generation in every record.
void setUpSearchRoot(Position& root);

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
// thread (depth 0, which also reports the periodic progress and executes pending input).
void iterationDone(Position& pos, int depth);

// Reports every principal variation: the moves of the lines are played on pos from the PV
// and transposition tables. elapsed is in microseconds.
void reportPV(Position& pos, int64_t elapsed, int alpha, int score, int beta);

// Once a search has run RootMoveReportMicros, reports each root move as the root search
// begins it; depth in half plies, number from 1.
constexpr int64_t RootMoveReportMicros = 3000000;
void reportRootMove(const Position& root, int depth, Move move, int number);

// Reports the best move with the move to ponder on.
void reportBestMove(Position& root);

// Raises the stop flags; with wait 0, also waits until the search has ended.
void haltSearch(int wait);
