// The "go" command: search limits, the time allocation and the engine clock.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/types.h"

struct Position;

// A limit that is never reached.
constexpr int64_t Never = 0x07FFFFFFFFFFFFFF;

// Elapsed-time limits of the running search, in microseconds from searchStartTime.
extern std::atomic<int64_t> hardTimeLimit;  // stops the search at once (moved by "ponderhit")
extern int64_t fullTimeLimit;               // soft limits, tested after completed iterations
extern int64_t mainTimeLimit;
extern int64_t easyTimeLimit;
extern int depthLimit;  // last iteration depth in plies
extern int mateLimit;   // "go mate N": stop once a mate in N moves or fewer is proven; 0 for none
// "go searchmoves": the root moves the search is limited to; none means every move.
extern Move searchMoves[MaxMoves];
extern int searchMoveCount;
// Elapsed time of the last periodic info line; written by the main and the poll thread.
extern std::atomic<int64_t> lastInfoTime;
extern int64_t searchStartTime;

// The engine clock: a monotonic millisecond tick times 1000.
uint64_t clockMicros();
// Tests only: milliseconds added to the tick, 0 in normal running.
extern uint64_t clockOffsetMillis;

// Reads the limits of a "go" line and turns the clock of the side to move into limits.
void parseGo(Position& root, const char* line);

// The running search has no limit of its own: a plain "go", or one whose limits were all
// ignored. Like "go infinite" it can only end on "stop".
bool searchUnlimited();

// "go ...": parses the limits and runs the search; every "go" gets one "bestmove".
void goCommand(Position& root, const char* text);

// "ponderhit": the ponder search becomes a timed search; its hard limit counts from now.
void ponderhit();
